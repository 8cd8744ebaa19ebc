#include "client/WireRecords.h"

#include <algorithm>
#include <cmath>

namespace {

// How long before its start and after its end a track still shows its outermost box, so a box
// does not flicker away between two samples that straddle the recorded start or end.
constexpr double EdgeSlack = 0.3;

QRectF interpolate(const QRectF &a, const QRectF &b, double f)
{
    return QRectF(a.x() + (b.x() - a.x()) * f, a.y() + (b.y() - a.y()) * f,
                  a.width() + (b.width() - a.width()) * f, a.height() + (b.height() - a.height()) * f);
}

} // namespace

std::optional<QRectF> TrackedObject::boxAt(double t) const
{
    // A non-finite time would slip past every comparison below and interpolate garbage.
    if (samples.isEmpty() || !std::isfinite(t))
        return std::nullopt;
    const Sample &first = samples.first();
    const Sample &last = samples.last();
    if (t < std::min(first.t, start) - EdgeSlack || t > std::max(end, last.t) + EdgeSlack)
        return std::nullopt;
    if (t <= first.t)
        return first.box;
    if (t >= last.t)
        return last.box;

    qsizetype lo = 0;
    qsizetype hi = samples.size() - 1;
    while (hi - lo > 1) {
        const qsizetype mid = (lo + hi) / 2;
        if (samples.at(mid).t <= t)
            lo = mid;
        else
            hi = mid;
    }
    const Sample &a = samples.at(lo);
    const Sample &b = samples.at(hi);
    const double f = (t - a.t) / std::max(b.t - a.t, 0.001);
    return interpolate(a.box, b.box, f);
}

std::optional<LogLine::Level> LogLine::levelFromRaw(int raw)
{
    switch (raw) {
    case 0:
        return Level::Debug;
    case 1:
        return Level::Info;
    case 2:
        return Level::Warning;
    case 3:
        return Level::Error;
    default:
        return std::nullopt;
    }
}
