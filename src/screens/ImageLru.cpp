#include "screens/ImageLru.h"

ImageLru::ImageLru(int maxEntries, qint64 maxBytes)
    : m_maxEntries(maxEntries)
    , m_maxBytes(maxBytes)
{ }

QImage ImageLru::object(const QString &key)
{
    const auto found = m_index.constFind(key);
    if (found == m_index.cend())
        return QImage();
    m_order.splice(m_order.begin(), m_order, *found);
    return m_order.front().image;
}

void ImageLru::insert(const QString &key, const QImage &image)
{
    if (const auto found = m_index.constFind(key); found != m_index.cend())
        remove(*found);
    const qint64 size = image.sizeInBytes();
    if (size > m_maxBytes)
        return;
    m_order.push_front({key, image});
    m_index.insert(key, m_order.begin());
    m_bytes += size;
    while (count() > m_maxEntries || m_bytes > m_maxBytes)
        remove(std::prev(m_order.end()));
}

void ImageLru::clear()
{
    m_order.clear();
    m_index.clear();
    m_bytes = 0;
}

void ImageLru::remove(Position position)
{
    m_bytes -= position->image.sizeInBytes();
    m_index.remove(position->key);
    m_order.erase(position);
}
