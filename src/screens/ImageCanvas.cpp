#include "screens/ImageCanvas.h"

#include <QQuickWindow>
#include <QSGImageNode>

ImageCanvas::ImageCanvas(QQuickItem *parent) : QQuickItem(parent)
{
    setFlag(ItemHasContents);
}

void ImageCanvas::setImage(const QImage &image)
{
    if (m_image.cacheKey() == image.cacheKey())
        return;
    m_image = image;
    m_imageDirty = true;
    emit imageChanged();
    update();
}

void ImageCanvas::setFillMode(FillMode mode)
{
    if (m_fillMode == mode)
        return;
    m_fillMode = mode;
    emit fillModeChanged();
    update();
}

QRectF ImageCanvas::targetRect(QSizeF imageSize, QSizeF itemSize, FillMode mode)
{
    if (mode != FillMode::Fit || imageSize.isEmpty())
        return QRectF(QPointF(), itemSize);
    const QSizeF fitted = imageSize.scaled(itemSize, Qt::KeepAspectRatio);
    return QRectF(QPointF((itemSize.width() - fitted.width()) / 2, (itemSize.height() - fitted.height()) / 2), fitted);
}

QRectF ImageCanvas::sourceRect(QSizeF imageSize, QSizeF itemSize, FillMode mode)
{
    if (mode != FillMode::Fill || itemSize.isEmpty())
        return QRectF(QPointF(), imageSize);
    const QSizeF shown = itemSize.scaled(imageSize, Qt::KeepAspectRatio);
    return QRectF(QPointF((imageSize.width() - shown.width()) / 2, (imageSize.height() - shown.height()) / 2), shown);
}

void ImageCanvas::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size())
        update();
}

QSGNode *ImageCanvas::updatePaintNode(QSGNode *old, UpdatePaintNodeData *)
{
    auto *node = static_cast<QSGImageNode *>(old);
    if (m_image.isNull() || width() <= 0 || height() <= 0) {
        delete node;
        m_imageDirty = true;
        return nullptr;
    }
    if (!node) {
        node = window()->createImageNode();
        node->setOwnsTexture(true);
        node->setFiltering(QSGTexture::Linear);
        node->setMipmapFiltering(QSGTexture::Linear);
        m_imageDirty = true;
    }
    if (m_imageDirty) {
        node->setTexture(window()->createTextureFromImage(m_image, QQuickWindow::TextureHasMipmaps));
        m_imageDirty = false;
    }
    const QSizeF itemSize = size();
    node->setRect(targetRect(m_image.size(), itemSize, m_fillMode));
    node->setSourceRect(sourceRect(m_image.size(), itemSize, m_fillMode));
    return node;
}
