#include "client/WireDecoding.h"
#include "client/TextFormats.h"

#include <QJsonArray>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdlib>

namespace {

locale_t cLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return locale;
}

} // namespace

std::optional<double> parseCNumber(QStringView text)
{
    // strtod would skip leading white space by itself; only the caller's trimming may do that.
    if (text.isEmpty() || text.front().isSpace())
        return std::nullopt;
    const QByteArray utf8 = text.toUtf8();
    if (utf8.contains('\0'))
        return std::nullopt;
    char *end = nullptr;
    errno = 0;
    const double value = strtod_l(utf8.constData(), &end, cLocale());
    if (end != utf8.constData() + utf8.size())
        return std::nullopt;
    if (errno == ERANGE && (value == 0 || std::isinf(value)))
        return std::nullopt;
    return value;
}

double numberValue(const QJsonValue &value)
{
    if (value.isDouble())
        return value.toDouble();
    if (!value.isString())
        return 0;
    return parseCNumber(trimmedSpacesAndTabs(value.toString())).value_or(0);
}

double trimmedNumberValue(const QJsonValue &value)
{
    if (value.isDouble())
        return value.toDouble();
    if (!value.isString())
        return 0;
    return parseCNumber(value.toString().trimmed()).value_or(0);
}

std::optional<QRectF> boxValue(const QJsonValue &value)
{
    const QJsonArray list = value.toArray();
    if (list.size() < 4)
        return std::nullopt;
    const double x = trimmedNumberValue(list.at(0));
    const double y = trimmedNumberValue(list.at(1));
    const double w = trimmedNumberValue(list.at(2));
    const double h = trimmedNumberValue(list.at(3));
    if (!(w > 0 && w <= 1.01 && h > 0 && h <= 1.01))
        return std::nullopt;
    // A text such as "nan" reads as a number; such a box could not be drawn or compared.
    if (!std::isfinite(x) || !std::isfinite(y))
        return std::nullopt;
    return QRectF(x, y, w, h);
}
