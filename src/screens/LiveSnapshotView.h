#pragma once
#include "client/FrigateClient.h"
#include "screens/ImageCanvas.h"

#include <QPointer>
#include <QTimer>

class ImageDownload;

// A camera's latest picture, fetched again `refreshSeconds` (at least 0.5 s) after each answer
// while the item is shown. Failed or undecodable answers keep the previous picture.
class LiveSnapshotView : public ImageCanvas
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString camera READ camera WRITE setCamera NOTIFY cameraChanged)
    Q_PROPERTY(int pixelHeight READ pixelHeight WRITE setPixelHeight NOTIFY pixelHeightChanged)
    Q_PROPERTY(double refreshSeconds READ refreshSeconds WRITE setRefreshSeconds NOTIFY refreshSecondsChanged)

public:
    static constexpr double MinimumInterval = 0.5;
    static constexpr double RequestTimeout = 10.0;

    explicit LiveSnapshotView(QQuickItem *parent = nullptr);

    QString camera() const { return m_camera; }
    void setCamera(const QString &camera);
    int pixelHeight() const { return m_pixelHeight; }
    void setPixelHeight(int height);
    double refreshSeconds() const { return m_refreshSeconds; }
    void setRefreshSeconds(double seconds);

    static int intervalMs(double refreshSeconds);
    // The query of a latest.jpg request `pixelHeight` pixels high; `nowMs` defeats caches.
    static QueryItems latestQuery(int pixelHeight, qint64 nowMs);

signals:
    void cameraChanged();
    void pixelHeightChanged();
    void refreshSecondsChanged();

protected:
    void componentComplete() override;
    void itemChange(ItemChange change, const ItemChangeData &value) override;

private:
    bool shouldRun() const;
    void updateRunning();
    void stop();
    void restart();
    void fetch();
    void onAnswer(const QImage &image);

    QString m_camera;
    int m_pixelHeight = 360;
    double m_refreshSeconds = 2.0;
    QTimer m_sleep;
    QPointer<ImageDownload> m_download;
    int m_generation = 0;
};
