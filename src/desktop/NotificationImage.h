#pragma once
#include <QByteArray>
#include <QDBusArgument>
#include <QImage>
#include <QMetaType>

// The image-data hint of a notification: D-Bus signature (iiibiiay), 8 bits per sample, RGB or
// RGBA rows `rowStride` bytes apart.
struct NotificationImage
{
    int width = 0;
    int height = 0;
    int rowStride = 0;
    bool hasAlpha = false;
    int bitsPerSample = 8;
    int channels = 3;
    QByteArray data;

    static NotificationImage from(const QImage &image);
    QImage toImage() const;
};
Q_DECLARE_METATYPE(NotificationImage)

QDBusArgument &operator<<(QDBusArgument &argument, const NotificationImage &image);
const QDBusArgument &operator>>(const QDBusArgument &argument, NotificationImage &image);
void registerNotificationImageType();
