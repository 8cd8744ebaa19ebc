#include "client/LogLineParser.h"
#include "client/TextFormats.h"

#include <QRegularExpression>

namespace {

constexpr qsizetype TimestampLength = 19; // "yyyy-MM-dd HH:mm:ss"

// \d, \s and \S follow Unicode properties, as in the ICU engine the formats were written for.
const QRegularExpression &linePattern()
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})\S*\s+(?:\[[^\]]*\]\s+)?(\S+)\s+)"
                       R"((DEBUG|INFO|WARNING|ERROR|CRITICAL)\s*:\s?(.*)$)"),
        QRegularExpression::UseUnicodePropertiesOption);
    return pattern;
}

const QRegularExpression &credentialsPattern()
{
    static const QRegularExpression pattern(QStringLiteral(R"((://[^:/@\s]+:)[^@\s]+@)"),
                                            QRegularExpression::UseUnicodePropertiesOption);
    return pattern;
}

QString redacted(QString text)
{
    if (credentialsPattern().isValid())
        text.replace(credentialsPattern(), QStringLiteral("\\1\u2022\u2022\u2022@"));
    return text;
}

LogLine::Level serverLevel(QStringView word)
{
    if (word == u"ERROR" || word == u"CRITICAL")
        return LogLine::Level::Error;
    if (word == u"WARNING")
        return LogLine::Level::Warning;
    if (word == u"DEBUG")
        return LogLine::Level::Debug;
    return LogLine::Level::Info;
}

// Every character that ends a line for the engine the server format was written for.
const QRegularExpression &lineBreak()
{
    static const QRegularExpression pattern(QStringLiteral("[\\n\\v\\f\\r\\x{85}\\x{2028}\\x{2029}]"));
    return pattern;
}

// Servers before 0.16 merge log lines that share a time stamp into one entry joined by "\n";
// a Python traceback arrives the same way. PCRE2 here behaves as the ICU engine the format was
// written for: "." never matches a line break and "$" (no multiline option) matches only at the
// very end, or before a final "\n" that trimming has already removed. So the pattern cannot
// match a merged entry as a whole, and the keyword fallback would file a WARNING entry as info
// with the raw time-stamp prefix in its message. Instead the first line alone is matched: it
// gives time, source and level, and the following lines stay in the message after its text.
std::optional<LogLine> serverFormatLine(const QString &text, qint64 id)
{
    if (!linePattern().isValid())
        return std::nullopt;
    const qsizetype lineEnd = text.indexOf(lineBreak());
    const QString firstLine = lineEnd < 0 ? text : text.first(lineEnd);
    const QRegularExpressionMatch match = linePattern().match(firstLine);
    if (!match.hasMatch())
        return std::nullopt;
    LogLine line;
    line.id = id;
    line.timeText = match.captured(1);
    line.date = parseLogTimestamp(line.timeText);
    line.source = match.captured(2);
    line.level = serverLevel(match.capturedView(3));
    line.message = match.captured(4);
    if (lineEnd >= 0)
        line.message += text.sliced(lineEnd);
    return line;
}

// A keyword between spaces also counts at the very start: once the writer's stamp is cut,
// go2rtc's level word ("DBG", "FTL") leads the message.
LogLine::Level keywordLevel(const QString &rest)
{
    const QString text = u' ' + rest.toLower();
    if (text.contains(u"[error]") || text.contains(u" err ") || text.contains(u" ftl ") || text.contains(u"[crit]"))
        return LogLine::Level::Error;
    if (text.contains(u"[warn]") || text.contains(u" wrn ") || text.contains(u"warning"))
        return LogLine::Level::Warning;
    if (text.contains(u" inf ") || text.contains(u" dbg ") || text.contains(u"[info]"))
        return LogLine::Level::Info;
    if (text.contains(u"error"))
        return LogLine::Level::Error;
    return LogLine::Level::Info;
}

// The log writer stamps lines not written by the server's Python code (start-up scripts,
// go2rtc, nginx) with nanoseconds: "2024-06-11 10:00:05.000512345  message".
QStringView withoutFraction(QStringView rest)
{
    if (!rest.startsWith(u'.'))
        return rest;
    qsizetype end = 1;
    while (end < rest.size() && rest.at(end).isDigit())
        ++end;
    return end > 1 ? rest.sliced(end) : rest;
}

LogLine fallbackLine(const QString &text, qint64 id, const QString &service)
{
    LogLine line;
    line.id = id;
    line.source = service;
    QStringView rest = text;
    if (text.size() >= TimestampLength) {
        const QString stamp = text.first(TimestampLength);
        if (const auto date = parseLogTimestamp(stamp)) {
            line.date = date;
            line.timeText = stamp;
            rest = trimmedSpacesAndTabs(withoutFraction(rest.sliced(TimestampLength)));
            // A leading numeric field, such as a process id, says nothing to the reader.
            const qsizetype space = rest.indexOf(u' ');
            if (space >= 0 && rest.front().isNumber())
                rest = trimmedSpacesAndTabs(rest.sliced(space));
        }
    }
    line.message = rest.toString();
    line.level = keywordLevel(line.message);
    return line;
}

} // namespace

LogLine parseLogLine(const QString &text, qint64 id, const QString &service)
{
    const QString line = redacted(text.trimmed());
    if (auto parsed = serverFormatLine(line, id))
        return *parsed;
    return fallbackLine(line, id, service);
}
