#include "client/TextFormats.h"

#include <QCoreApplication>
#include <cmath>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("TextFormats", text);
}

struct KnownLabel
{
    QStringView key;
    const char *name;
};

constexpr KnownLabel KnownLabels[] = {
    {u"person", QT_TRANSLATE_NOOP("TextFormats", "Person")},
    {u"car", QT_TRANSLATE_NOOP("TextFormats", "Car")},
    {u"dog", QT_TRANSLATE_NOOP("TextFormats", "Dog")},
    {u"cat", QT_TRANSLATE_NOOP("TextFormats", "Cat")},
    {u"bicycle", QT_TRANSLATE_NOOP("TextFormats", "Bicycle")},
    {u"motorcycle", QT_TRANSLATE_NOOP("TextFormats", "Motorcycle")},
    {u"bird", QT_TRANSLATE_NOOP("TextFormats", "Bird")},
    {u"truck", QT_TRANSLATE_NOOP("TextFormats", "Truck")},
    {u"package", QT_TRANSLATE_NOOP("TextFormats", "Package")},
};

QString capitalizedWord(QStringView word)
{
    const qsizetype firstLength = word.front().isHighSurrogate() && word.size() > 1 ? 2 : 1;
    return word.first(firstLength).toString().toUpper() + word.sliced(firstLength).toString().toLower();
}

// A whole number of seconds, or nothing for values that have none (not finite, beyond 64 bits).
bool fitsWholeSeconds(double seconds)
{
    return std::isfinite(seconds) && seconds > -0x1p63 && seconds < 0x1p63;
}

} // namespace

QString capitalizedWords(const QString &text)
{
    QString result;
    result.reserve(text.size());
    qsizetype wordStart = -1;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const bool atSpace = i == text.size() || text.at(i).isSpace();
        if (atSpace && wordStart >= 0) {
            result += capitalizedWord(QStringView(text).sliced(wordStart, i - wordStart));
            wordStart = -1;
        }
        if (atSpace && i < text.size())
            result += text.at(i);
        else if (!atSpace && wordStart < 0)
            wordStart = i;
    }
    return result;
}

QString labelDisplayName(const QString &label)
{
    const QStringView base = QStringView(label).left(label.indexOf(u'-'));
    for (const KnownLabel &known : KnownLabels) {
        if (known.key == base)
            return tr(known.name);
    }
    return capitalizedWords(base.toString());
}

QString objectSummary(const ReviewItem &item)
{
    QStringList names;
    for (const QStringList *labels : {&item.data.objects, &item.data.audio}) {
        for (const QString &label : *labels) {
            const QString name = labelDisplayName(label);
            if (!names.contains(name))
                names.append(name);
        }
    }
    return names.isEmpty() ? tr("Motion") : names.join(QStringLiteral(", "));
}

QString durationText(double seconds)
{
    const qint64 n = fitsWholeSeconds(seconds) ? std::llround(seconds) : 0;
    if (n <= 59)
        return tr("%1 sec").arg(n);
    if (n <= 3599) {
        const qint64 s = n % 60;
        return s != 0 ? tr("%1 min %2 sec").arg(n / 60).arg(s) : tr("%1 min").arg(n / 60);
    }
    return tr("%1 h %2 min").arg(n / 3600).arg(n % 3600 / 60);
}

QString clockText(double seconds)
{
    if (!(seconds >= 0) || !fitsWholeSeconds(seconds))
        return QStringLiteral("0:00");
    const auto n = static_cast<long long>(seconds);
    if (n < 3600)
        return QString::asprintf("%lld:%02lld", n / 60, n % 60);
    return QString::asprintf("%lld:%02lld:%02lld", n / 3600, n % 3600 / 60, n % 60);
}

QString uptimeText(double seconds)
{
    const auto n = fitsWholeSeconds(seconds) ? static_cast<long long>(seconds) : 0LL;
    return QString::asprintf("%lld:%02lld:%02lld:%02lld", n / 86400, n % 86400 / 3600, n % 3600 / 60, n % 60);
}

QString sizeText(double megabytes)
{
    if (megabytes >= 1048576)
        return tr("%1 TB").arg(QString::asprintf("%.2f", megabytes / 1024 / 1024));
    if (megabytes >= 1024)
        return tr("%1 GB").arg(QString::asprintf("%.1f", megabytes / 1024));
    return tr("%1 MB").arg(QString::asprintf("%.0f", megabytes));
}
