#pragma once
#include <QImage>
#include <QList>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <algorithm>
#include <cmath>
#include <functional>

// The soak's chart, drawn without a plotting library: resident memory over time with the
// tolerated band around the baseline on top, threads and open descriptors below.
namespace SoakPlot {

struct Point
{
    double minute = 0;
    double rssMiB = 0;
    int threads = 0;
    int fds = 0;
};

struct Chart
{
    QList<Point> points;
    QList<QPointF> rollingMedian; // (minute, MiB): the median of the cycle that ends there
    double baselineMiB = NAN;     // NaN: no band (the run ended before the warm-up did)
    double band = 0.05;       // of the baseline, either way
    double warmupMinutes = 5;
    QString title;
};

// A panel's frame: maps minutes and a value range into a rectangle and draws the axes.
class Panel
{
public:
    Panel(QPainter &painter, const QRectF &area, double minutes, double low, double high)
        : m_painter(painter)
        , m_area(area)
        , m_minutes(std::max(minutes, 1.0))
        , m_low(low)
        , m_high(high > low ? high : low + 1)
    {
    }

    QPointF at(double minute, double value) const
    {
        return {m_area.left() + m_area.width() * minute / m_minutes,
                m_area.bottom() - m_area.height() * (value - m_low) / (m_high - m_low)};
    }

    void drawAxes(const QString &unit) const
    {
        m_painter.setPen(QPen(QColor(0xbb, 0xbb, 0xbb), 1));
        m_painter.drawRect(m_area);
        m_painter.setPen(Qt::black);
        for (int tick = 0; tick <= 4; ++tick) {
            const double value = m_low + (m_high - m_low) * tick / 4;
            const QPointF point = at(0, value);
            m_painter.drawText(QRectF(point.x() - 74, point.y() - 8, 68, 16), Qt::AlignRight | Qt::AlignVCenter,
                               QString::number(value, 'f', m_high - m_low < 20 ? 1 : 0));
        }
        const int step = m_minutes > 30 ? 10 : m_minutes > 10 ? 2 : 1;
        for (int minute = 0; minute <= m_minutes; minute += step) {
            const QPointF point = at(minute, m_low);
            m_painter.drawText(QRectF(point.x() - 20, point.y() + 4, 40, 16), Qt::AlignCenter, QString::number(minute));
        }
        m_painter.drawText(QRectF(m_area.left(), m_area.top() - 20, m_area.width(), 18), Qt::AlignLeft, unit);
    }

    void drawLine(const QList<Point> &points, const std::function<double(const Point &)> &value,
                  const QColor &color) const
    {
        QPainterPath path;
        for (const Point &point : points) {
            const QPointF spot = at(point.minute, value(point));
            if (path.elementCount() == 0)
                path.moveTo(spot);
            else
                path.lineTo(spot);
        }
        m_painter.setPen(QPen(color, 2));
        m_painter.setBrush(Qt::NoBrush);
        m_painter.drawPath(path);
    }

    QRectF area() const { return m_area; }

private:
    QPainter &m_painter;
    QRectF m_area;
    double m_minutes;
    double m_low;
    double m_high;
};

inline std::pair<double, double> rangeOf(const QList<Point> &points, const std::function<double(const Point &)> &value)
{
    double low = INFINITY;
    double high = -INFINITY;
    for (const Point &point : points) {
        low = std::min(low, value(point));
        high = std::max(high, value(point));
    }
    const double margin = std::max((high - low) * 0.1, 1.0);
    return {std::max(0.0, low - margin), high + margin};
}

inline void drawMemory(QPainter &painter, const Chart &chart, const QRectF &area, double minutes)
{
    auto rss = [](const Point &point) { return point.rssMiB; };
    auto [low, high] = rangeOf(chart.points, rss);
    if (!std::isnan(chart.baselineMiB)) {
        low = std::min(low, chart.baselineMiB * (1 - chart.band) - 1);
        high = std::max(high, chart.baselineMiB * (1 + chart.band) + 1);
    }
    const Panel panel(painter, area, minutes, low, high);
    if (!std::isnan(chart.baselineMiB)) {
        const QPointF top = panel.at(chart.warmupMinutes, chart.baselineMiB * (1 + chart.band));
        const QPointF bottom = panel.at(minutes, chart.baselineMiB * (1 - chart.band));
        painter.fillRect(QRectF(top, bottom), QColor(0x4c, 0xaf, 0x50, 60));
        painter.setPen(QPen(QColor(0x2e, 0x7d, 0x32), 1, Qt::DashLine));
        painter.drawLine(panel.at(chart.warmupMinutes, chart.baselineMiB), panel.at(minutes, chart.baselineMiB));
    }
    panel.drawAxes(QStringLiteral("RSS, MiB (blue: samples; black: rolling median; band: baseline %1 %2 %)")
                       .arg(QChar(0x00b1))
                       .arg(chart.band * 100, 0, 'f', 0));
    panel.drawLine(chart.points, rss, QColor(0x15, 0x65, 0xc0));
    QList<Point> medians;
    for (const QPointF &point : chart.rollingMedian)
        medians.append({point.x(), point.y(), 0, 0});
    panel.drawLine(medians, rss, Qt::black);
}

inline void drawCounts(QPainter &painter, const Chart &chart, const QRectF &area, double minutes)
{
    auto threads = [](const Point &point) { return double(point.threads); };
    auto fds = [](const Point &point) { return double(point.fds); };
    const auto [threadLow, threadHigh] = rangeOf(chart.points, threads);
    const auto [fdLow, fdHigh] = rangeOf(chart.points, fds);
    const Panel panel(painter, area, minutes, std::min(threadLow, fdLow), std::max(threadHigh, fdHigh));
    panel.drawAxes(QStringLiteral("threads (orange), open descriptors (purple)"));
    panel.drawLine(chart.points, threads, QColor(0xef, 0x6c, 0x00));
    panel.drawLine(chart.points, fds, QColor(0x6a, 0x1b, 0x9a));
}

// Writes the chart as a PNG; false when there is nothing to draw or the file cannot be written.
inline bool write(const Chart &chart, const QString &path)
{
    if (chart.points.isEmpty())
        return false;
    QImage image(1200, 800, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const double minutes = std::ceil(chart.points.last().minute - 0.01); // a last sample a little late
    painter.drawText(QRectF(0, 8, image.width(), 24), Qt::AlignCenter, chart.title);
    drawMemory(painter, chart, QRectF(90, 70, 1080, 380), minutes);
    drawCounts(painter, chart, QRectF(90, 530, 1080, 220), minutes);
    painter.setPen(Qt::black);
    painter.drawText(QRectF(0, 770, image.width(), 20), Qt::AlignCenter, QStringLiteral("minutes"));
    painter.end();
    return image.save(path, "PNG");
}

} // namespace SoakPlot
