#pragma once
#include <QHash>
#include <QImage>
#include <QString>
#include <list>

// Decoded images by key within two caps, one on entries and one on decoded bytes
// (QImage::sizeInBytes); the least recently used image leaves first when either is exceeded.
class ImageLru
{
public:
    ImageLru(int maxEntries, qint64 maxBytes);

    // The image of key, now the most recently used; a null image when absent.
    QImage object(const QString &key);
    // Replaces what key held. An image larger than the byte cap is not kept and pushes nothing out.
    void insert(const QString &key, const QImage &image);
    void clear();
    int count() const { return int(m_index.size()); }
    qint64 bytes() const { return m_bytes; }

private:
    struct Entry
    {
        QString key;
        QImage image;
    };
    using Position = std::list<Entry>::iterator;

    void remove(Position position);

    int m_maxEntries;
    qint64 m_maxBytes;
    qint64 m_bytes = 0;
    std::list<Entry> m_order; // most recently used first
    QHash<QString, Position> m_index;
};
