#pragma once
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <optional>

// Plain value records of what the Frigate server answers. Field names follow the server's keys
// where a record is decoded by key, so the code reads like the JSON it came from.

struct CameraInfo
{
    QString name;
    QString friendlyName;
    bool enabled = true;
    bool recordEnabled = false;
    int uiOrder = 0;
    QString mainStream;
    std::optional<QString> subStream;
    double annotationOffset = 0; // milliseconds

    bool operator==(const CameraInfo &) const = default;
};

struct CameraGroup
{
    QString name;
    QStringList cameras;
    int order = 0;

    bool operator==(const CameraGroup &) const = default;
};

struct CameraStats
{
    double fps = 0;
    double detectionFps = 0;
    double processFps = 0;
    double skippedFps = 0;
    double ffmpegCPU = 0;
    double reconnects = 0;

    bool operator==(const CameraStats &) const = default;
};

struct StatsSnapshot
{
    double cpu = 0;
    double mem = 0;
    double diskUsedMB = 0;
    double diskTotalMB = 0;
    // The server's own free figure, when it sends one. On ext4 it leaves out the blocks reserved
    // for root, so it is smaller than total − used.
    std::optional<double> diskFreeMB;
    double uptime = 0;
    QString version;
    double inferenceMs = 0;
    QMap<QString, CameraStats> cameras;

    bool operator==(const StatsSnapshot &) const = default;
};

struct ReviewData
{
    QStringList objects;
    QStringList zones;
    QStringList audio;
    QStringList detections;

    bool operator==(const ReviewData &) const = default;
};

struct ReviewItem
{
    QString id;
    QString camera;
    double start_time = 0;
    std::optional<double> end_time;
    QString severity = QStringLiteral("alert");
    std::optional<QString> thumb_path;
    bool has_been_reviewed = false;
    ReviewData data;

    bool operator==(const ReviewItem &) const = default;
};

struct Sample
{
    double t = 0;
    QRectF box;

    bool operator==(const Sample &) const = default;
};

struct TrackedObject
{
    QString id;
    QString label;
    double start = 0;
    double end = 0;
    QList<Sample> samples; // ascending by t

    // Interpolated box at time t (seconds since 1970); none outside the track's life.
    std::optional<QRectF> boxAt(double t) const;

    bool operator==(const TrackedObject &) const = default;
};

struct RecordingHour
{
    QString hour;
    std::optional<int> events;
    std::optional<double> motion;
    std::optional<double> objects;
    std::optional<double> duration;

    bool operator==(const RecordingHour &) const = default;
};

struct RecordingDay
{
    QString day;
    std::optional<int> events;
    QList<RecordingHour> hours;

    bool operator==(const RecordingDay &) const = default;
};

// One recording file of a camera (about 10 s), as api/<camera>/recordings lists them.
struct RecordingSegment
{
    double start_time = 0; // seconds since 1970 (UTC)
    double end_time = 0;

    bool operator==(const RecordingSegment &) const = default;
};

struct LogLine
{
    enum class Level { Debug = 0, Info = 1, Warning = 2, Error = 3 };

    qint64 id = 0;
    std::optional<QDateTime> date;
    QString timeText;
    QString source;
    Level level = Level::Info;
    QString message;

    static std::optional<Level> levelFromRaw(int raw);
    bool operator==(const LogLine &) const = default;
};
