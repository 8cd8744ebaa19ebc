#include "playback/MotionDetector.h"

#include <QPoint>
#include <array>
#include <cmath>

namespace {

constexpr int minimumRows = 16;
constexpr double maximumForwardGap = 1.5;
constexpr int sceneChangePercent = 45;
constexpr int minimumChangedPerCell = 4;
constexpr int minimumCellsPerBox = 2;
constexpr int neighbourReach = 2; // 5 x 5 neighbourhood: bridges a gap of one quiet cell

// Only 32-bit pixels laid out B, G, R, A in memory are read.
bool isBgraInMemory(QImage::Format format)
{
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32
        || format == QImage::Format_ARGB32_Premultiplied;
#else
    Q_UNUSED(format);
    return false;
#endif
}

// The two sample positions (at a quarter and three quarters) of output index i along one axis.
std::array<int, 2> samplePositions(int sourceLength, double step, int i)
{
    const auto at = [&](double offset) {
        return std::min(sourceLength - 1, static_cast<int>(step * (i + offset)));
    };
    return {at(0.25), at(0.75)};
}

int greyAt(const uchar *row, int x)
{
    const uchar *pixel = row + qsizetype(x) * 4;
    return (pixel[0] + 2 * pixel[1] + pixel[2]) >> 2;
}

struct Region
{
    int minColumn = 0;
    int maxColumn = 0;
    int minRow = 0;
    int maxRow = 0;
    int cells = 0;

    void include(QPoint cellAt)
    {
        ++cells;
        minColumn = std::min(minColumn, cellAt.x());
        maxColumn = std::max(maxColumn, cellAt.x());
        minRow = std::min(minRow, cellAt.y());
        maxRow = std::max(maxRow, cellAt.y());
    }
};

struct CellGrid
{
    int columns = 0;
    int rows = 0;
    QList<bool> active; // row-major

    bool isActive(QPoint at) const
    {
        return at.x() >= 0 && at.y() >= 0 && at.x() < columns && at.y() < rows && active[index(at)];
    }
    qsizetype index(QPoint at) const { return qsizetype(at.y()) * columns + at.x(); }
};

// A cell is active when enough of its pixels changed; the rows below the last whole cell are ignored.
CellGrid activeCells(const QList<bool> &changed, int width, int height)
{
    const int cell = MotionDetector::cell;
    CellGrid grid{width / cell, height / cell, {}};
    grid.active.resize(qsizetype(grid.columns) * grid.rows);
    for (int cy = 0; cy < grid.rows; ++cy) {
        for (int cx = 0; cx < grid.columns; ++cx) {
            int count = 0;
            for (int y = cy * cell; y < (cy + 1) * cell; ++y)
                for (int x = cx * cell; x < (cx + 1) * cell; ++x)
                    count += changed[qsizetype(y) * width + x] ? 1 : 0;
            grid.active[grid.index({cx, cy})] = count >= minimumChangedPerCell;
        }
    }
    return grid;
}

// Depth-first flood from a seed cell over active neighbours within reach.
Region growRegion(const CellGrid &grid, QPoint seed, QList<bool> &visited)
{
    Region region{seed.x(), seed.x(), seed.y(), seed.y(), 0};
    QList<QPoint> stack{seed};
    visited[grid.index(seed)] = true;
    while (!stack.isEmpty()) {
        const QPoint at = stack.takeLast();
        region.include(at);
        for (int dy = -neighbourReach; dy <= neighbourReach; ++dy) {
            for (int dx = -neighbourReach; dx <= neighbourReach; ++dx) {
                const QPoint next = at + QPoint(dx, dy);
                if (!grid.isActive(next) || visited[grid.index(next)])
                    continue;
                visited[grid.index(next)] = true;
                stack.append(next);
            }
        }
    }
    return region;
}

// Regions in the row-major order of their first cell.
QList<Region> regionsOf(const CellGrid &grid)
{
    QList<bool> visited(grid.active.size(), false);
    QList<Region> regions;
    for (int cy = 0; cy < grid.rows; ++cy) {
        for (int cx = 0; cx < grid.columns; ++cx) {
            const QPoint at(cx, cy);
            if (grid.isActive(at) && !visited[grid.index(at)])
                regions.append(growRegion(grid, at, visited));
        }
    }
    return regions;
}

} // namespace

QSize MotionDetector::analysisSize(QSize frame)
{
    if (frame.width() < 1 || frame.height() < 1)
        return {};
    const int rows = static_cast<int>(std::lround(double(frame.height()) * targetWidth / frame.width()));
    return QSize(targetWidth, std::max(minimumRows, rows));
}

std::optional<GreyFrame> MotionDetector::readGrey(const QImage &frame)
{
    if (!isBgraInMemory(frame.format()))
        return std::nullopt;
    const uchar *bits = frame.constBits();
    const int w = frame.width();
    const int h = frame.height();
    if (!bits || w < 1 || h < 1)
        return std::nullopt;

    GreyFrame grey;
    grey.width = targetWidth;
    grey.height = analysisSize(QSize(w, h)).height();
    grey.values.resize(qsizetype(grey.width) * grey.height);

    const double xStep = double(w) / targetWidth;
    const double yStep = double(h) / grey.height;
    std::array<std::array<int, 2>, targetWidth> columns;
    for (int c = 0; c < targetWidth; ++c)
        columns[c] = samplePositions(w, xStep, c);

    float *out = grey.values.data();
    for (int r = 0; r < grey.height; ++r) {
        const auto [y0, y1] = samplePositions(h, yStep, r);
        const uchar *top = frame.constScanLine(y0);
        const uchar *bottom = frame.constScanLine(y1);
        for (const auto &[x0, x1] : columns) {
            const int sum = greyAt(top, x0) + greyAt(top, x1) + greyAt(bottom, x0) + greyAt(bottom, x1);
            *out++ = float(sum) / 4.0f;
        }
    }
    return grey;
}

QList<QRectF> MotionDetector::analyze(const QImage &frame, double time)
{
    const std::optional<GreyFrame> grey = readGrey(frame);
    if (!grey)
        return {};
    m_width = grey->width;
    m_height = grey->height;

    const bool rebuild = m_background.size() != grey->values.size() || time < m_lastTime
        || time - m_lastTime > maximumForwardGap;
    m_lastTime = time;
    if (rebuild) {
        m_background = grey->values;
        return {};
    }

    qsizetype changedCount = 0;
    const QList<bool> changed = foldIntoBackground(grey->values, changedCount);
    const qsizetype pixels = qsizetype(m_width) * m_height;
    if (changedCount > pixels * sceneChangePercent / 100)
        return {};
    return boxesFromChanges(changed);
}

void MotionDetector::reset()
{
    m_background.clear();
    m_lastTime = -1;
}

QList<bool> MotionDetector::foldIntoBackground(const QList<float> &grey, qsizetype &changedCount)
{
    QList<bool> changed(grey.size(), false);
    float *background = m_background.data();
    for (qsizetype i = 0; i < grey.size(); ++i) {
        const float d = grey[i] - background[i];
        if (std::fabs(d) > threshold) {
            changed[i] = true;
            ++changedCount;
        }
        background[i] += d * learningRate;
    }
    return changed;
}

QList<QRectF> MotionDetector::boxesFromChanges(const QList<bool> &changed) const
{
    if (m_width < cell || m_height < cell)
        return {};
    const CellGrid grid = activeCells(changed, m_width, m_height);
    QList<QRectF> boxes;
    for (const Region &region : regionsOf(grid)) {
        if (region.cells < minimumCellsPerBox)
            continue;
        boxes.append(QRectF(double(region.minColumn * cell) / m_width,
                            double(region.minRow * cell) / m_height,
                            double((region.maxColumn - region.minColumn + 1) * cell) / m_width,
                            double((region.maxRow - region.minRow + 1) * cell) / m_height));
    }
    return boxes;
}
