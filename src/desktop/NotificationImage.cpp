#include "desktop/NotificationImage.h"

#include <QDBusMetaType>

NotificationImage NotificationImage::from(const QImage &image)
{
    const QImage converted = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_RGBA8888
                                                                           : QImage::Format_RGB888);
    NotificationImage out;
    out.width = converted.width();
    out.height = converted.height();
    out.rowStride = int(converted.bytesPerLine());
    out.hasAlpha = converted.hasAlphaChannel();
    out.channels = out.hasAlpha ? 4 : 3;
    out.data = QByteArray(reinterpret_cast<const char *>(converted.constBits()), converted.sizeInBytes());
    return out;
}

QImage NotificationImage::toImage() const
{
    const bool sane = bitsPerSample == 8 && (channels == 3 || channels == 4) && width > 0 && height > 0
        && rowStride >= width * channels && data.size() >= qsizetype(rowStride) * (height - 1) + width * channels;
    if (!sane)
        return {};
    const QImage view(reinterpret_cast<const uchar *>(data.constData()), width, height, rowStride,
                      channels == 4 ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    return view.copy();
}

QDBusArgument &operator<<(QDBusArgument &argument, const NotificationImage &image)
{
    argument.beginStructure();
    argument << image.width << image.height << image.rowStride << image.hasAlpha << image.bitsPerSample
             << image.channels << image.data;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, NotificationImage &image)
{
    argument.beginStructure();
    argument >> image.width >> image.height >> image.rowStride >> image.hasAlpha >> image.bitsPerSample
        >> image.channels >> image.data;
    argument.endStructure();
    return argument;
}

void registerNotificationImageType()
{
    static const bool registered = [] {
        qDBusRegisterMetaType<NotificationImage>();
        return true;
    }();
    Q_UNUSED(registered);
}
