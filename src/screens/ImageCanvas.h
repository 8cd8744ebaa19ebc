#pragma once
#include <QImage>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

// Draws a decoded image, fitted into the item, filling it (cropped), or stretched to it.
// Mipmapped, so large snapshots shrink into small tiles without shimmering.
class ImageCanvas : public QQuickItem
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QImage image READ image WRITE setImage NOTIFY imageChanged)
    Q_PROPERTY(FillMode fillMode READ fillMode WRITE setFillMode NOTIFY fillModeChanged)
    Q_PROPERTY(bool hasImage READ hasImage NOTIFY imageChanged)
    Q_PROPERTY(QSize imageSize READ imageSize NOTIFY imageChanged)

public:
    enum class FillMode { Fit, Fill, Stretch };
    Q_ENUM(FillMode)

    explicit ImageCanvas(QQuickItem *parent = nullptr);

    QImage image() const { return m_image; }
    void setImage(const QImage &image);
    FillMode fillMode() const { return m_fillMode; }
    void setFillMode(FillMode mode);
    bool hasImage() const { return !m_image.isNull(); }
    QSize imageSize() const { return m_image.size(); }

    // Where the image lands in an item of the given size, and which part of it is shown.
    static QRectF targetRect(QSizeF imageSize, QSizeF itemSize, FillMode mode);
    static QRectF sourceRect(QSizeF imageSize, QSizeF itemSize, FillMode mode);

signals:
    void imageChanged();
    void fillModeChanged();

protected:
    QSGNode *updatePaintNode(QSGNode *old, UpdatePaintNodeData *) override;
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;

private:
    QImage m_image;
    FillMode m_fillMode = FillMode::Fit;
    bool m_imageDirty = false;
};
