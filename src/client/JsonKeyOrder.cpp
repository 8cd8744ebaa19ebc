#include "client/JsonKeyOrder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <optional>

namespace {

// A forward reader over JSON text that QJsonDocument has already accepted or that may be
// broken: every step checks its bounds and gives up on anything unexpected.
class Reader
{
public:
    explicit Reader(const QByteArray &text)
        : m_text(text)
    { }

    bool take(char expected)
    {
        skipSpace();
        if (m_at >= m_text.size() || m_text.at(m_at) != expected)
            return false;
        ++m_at;
        return true;
    }

    std::optional<QString> string()
    {
        skipSpace();
        const qsizetype begin = m_at;
        if (!skipString())
            return std::nullopt;
        const QByteArray token = m_text.mid(begin, m_at - begin);
        if (!token.contains('\\'))
            return QString::fromUtf8(token.mid(1, token.size() - 2));
        const QJsonDocument unescaped = QJsonDocument::fromJson('[' + token + ']');
        return unescaped.array().at(0).toString();
    }

    // Skips one value of any kind; nesting is counted, not recursed into.
    bool skipValue()
    {
        skipSpace();
        int depth = 0;
        while (m_at < m_text.size()) {
            const char c = m_text.at(m_at);
            if (c == '"') {
                if (!skipString())
                    return false;
            } else if (c == '{' || c == '[') {
                ++depth;
                ++m_at;
            } else if (c == '}' || c == ']') {
                if (depth == 0)
                    return true;
                --depth;
                ++m_at;
            } else if (c == ',' && depth == 0) {
                return true;
            } else {
                ++m_at;
            }
        }
        return depth == 0;
    }

    // Calls visit(key) at each member of the object that starts here; visit reads the value.
    template<typename Visit> bool members(Visit visit)
    {
        if (!take('{'))
            return false;
        if (take('}'))
            return true;
        do {
            const auto key = string();
            if (!key || !take(':') || !visit(*key))
                return false;
        } while (take(','));
        return take('}');
    }

    bool atObject()
    {
        skipSpace();
        return m_at < m_text.size() && m_text.at(m_at) == '{';
    }

private:
    void skipSpace()
    {
        while (m_at < m_text.size() && QByteArrayView(" \t\r\n").contains(m_text.at(m_at)))
            ++m_at;
    }

    bool skipString()
    {
        if (m_at >= m_text.size() || m_text.at(m_at) != '"')
            return false;
        for (++m_at; m_at < m_text.size(); ++m_at) {
            if (m_text.at(m_at) == '\\')
                ++m_at;
            else if (m_text.at(m_at) == '"')
                return ++m_at, true;
        }
        return false;
    }

    const QByteArray &m_text;
    qsizetype m_at = 0;
};

// Reads the object here member by member: `wanted` names the one key to go into,
// every other value is skipped.
template<typename Inner> bool into(Reader &reader, QStringView wanted, Inner inner)
{
    return reader.members([&](const QString &key) {
        if (key == wanted && reader.atObject())
            return inner();
        return reader.skipValue();
    });
}

} // namespace

QHash<QString, QStringList> liveStreamKeyOrder(const QByteArray &config)
{
    QHash<QString, QStringList> orders;
    Reader reader(config);
    const auto streams = [&](const QString &camera) {
        QStringList keys;
        const bool read = reader.members([&](const QString &key) {
            keys.append(key);
            return reader.skipValue();
        });
        orders.insert(camera, keys);
        return read;
    };
    const auto cameras = [&] {
        return reader.members([&](const QString &camera) {
            if (!reader.atObject())
                return reader.skipValue();
            return into(reader, u"live", [&] { return into(reader, u"streams", [&] { return streams(camera); }); });
        });
    };
    if (!into(reader, u"cameras", cameras))
        return {};
    return orders;
}
