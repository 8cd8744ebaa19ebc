#pragma once
#include <QString>

// What the live picture is doing, as the live screen shows it. `text` is the way the picture
// arrives ("mse" or "mjpeg") while playing, the message on error, and empty otherwise.
struct LiveStatus
{
    enum class Kind { Playing, Error, Loading, Reconnecting };

    Kind kind = Kind::Loading;
    QString text;

    static LiveStatus playing(const QString &mode) { return {Kind::Playing, mode}; }
    static LiveStatus error(const QString &message) { return {Kind::Error, message}; }
    static LiveStatus loading() { return {Kind::Loading, {}}; }
    static LiveStatus reconnecting() { return {Kind::Reconnecting, {}}; }

    friend bool operator==(const LiveStatus &, const LiveStatus &) = default;
};
