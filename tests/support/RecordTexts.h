#pragma once
#include "client/WireRecords.h"

#include <QStringList>

// What the suites compare record lists by: reviews by id, cameras by name, in their order.
template<typename Record> QStringList textsOf(const QList<Record> &records, QString Record::*field)
{
    QStringList texts;
    for (const Record &record : records)
        texts.append(record.*field);
    return texts;
}

inline QStringList idsOf(const QList<ReviewItem> &items)
{
    return textsOf(items, &ReviewItem::id);
}
inline QStringList namesOf(const QList<CameraInfo> &cameras)
{
    return textsOf(cameras, &CameraInfo::name);
}
