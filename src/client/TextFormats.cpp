#include "client/TextFormats.h"

#include <QCoreApplication>
#include <QLocale>
#include <cmath>

namespace {

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
    //: A parcel delivered at the door.
    {u"package", QT_TRANSLATE_NOOP("TextFormats", "Package")},
};

QString capitalizedWord(QStringView word)
{
    const qsizetype firstLength = word.front().isHighSurrogate() && word.size() > 1 ? 2 : 1;
    return word.first(firstLength).toString().toUpper() + word.sliced(firstLength).toString().toLower();
}

// Whether the value has a whole number of seconds that fits 64 bits.
bool fitsWholeSeconds(double seconds)
{
    return std::isfinite(seconds) && seconds > -0x1p63 && seconds < 0x1p63;
}

// The language's decimal separator ("1,5" in Italian), without grouping: sizes stay short.
QString decimalText(double value, int decimals)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', decimals);
}

} // namespace

QString capitalizedWords(const QString &text)
{
    QString result;
    result.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        if (text.at(i).isSpace()) {
            result += text.at(i++);
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && !text.at(end).isSpace())
            ++end;
        result += capitalizedWord(QStringView(text).sliced(i, end - i));
        i = end;
    }
    return result;
}

QStringView trimmedSpacesAndTabs(QStringView text)
{
    const auto isBlank = [](QChar c) { return c == u' ' || c == u'\t'; };
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

QString labelDisplayName(const QString &label)
{
    const QStringView base = QStringView(label).left(label.indexOf(u'-'));
    for (const KnownLabel &known : KnownLabels) {
        if (known.key == base)
            return QCoreApplication::translate("TextFormats", known.name);
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
    if (names.isEmpty())
        //: An alert caused by motion alone, with no recognised object.
        return QCoreApplication::translate("TextFormats", "Motion");
    return names.join(QStringLiteral(", "));
}

QString durationText(double seconds)
{
    const qint64 n = fitsWholeSeconds(seconds) ? std::llround(seconds) : 0;
    if (n <= 59)
        //: Short durations shown in lists: seconds, minutes, hours.
        return QCoreApplication::translate("TextFormats", "%1 sec").arg(n);
    if (n <= 3599) {
        const qint64 s = n % 60;
        if (s == 0)
            return QCoreApplication::translate("TextFormats", "%1 min").arg(n / 60);
        return QCoreApplication::translate("TextFormats", "%1 min %2 sec").arg(n / 60).arg(s);
    }
    return QCoreApplication::translate("TextFormats", "%1 h %2 min").arg(n / 3600).arg(n % 3600 / 60);
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
        return QCoreApplication::translate("TextFormats", "%1 TB")
            .arg(decimalText(megabytes / 1024 / 1024, 2));
    if (megabytes >= 1024)
        return QCoreApplication::translate("TextFormats", "%1 GB").arg(decimalText(megabytes / 1024, 1));
    return QCoreApplication::translate("TextFormats", "%1 MB").arg(decimalText(megabytes, 0));
}
