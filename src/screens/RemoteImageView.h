#pragma once
#include "client/FrigateClient.h"
#include "screens/ImageCanvas.h"

#include <QVariantList>

// An image of a server path, loaded once through the shared cache. It loads when it is first
// shown and again only when its path or query change, or when the current server does.
//   query: a list of [name, value] pairs, in order.
class RemoteImageView : public ImageCanvas
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString path READ path WRITE setPath NOTIFY pathChanged)
    Q_PROPERTY(QVariantList query READ query WRITE setQuery NOTIFY queryChanged)
    Q_PROPERTY(bool failed READ failed NOTIFY failedChanged)

public:
    explicit RemoteImageView(QQuickItem *parent = nullptr);

    QString path() const { return m_path; }
    void setPath(const QString &path);
    QVariantList query() const { return m_query; }
    void setQuery(const QVariantList &query);
    bool failed() const { return m_failed; }

    static QueryItems queryItems(const QVariantList &query);

signals:
    void pathChanged();
    void queryChanged();
    void failedChanged();

protected:
    void componentComplete() override;
    void itemChange(ItemChange change, const ItemChangeData &value) override;

private:
    void scheduleLoad();
    void reload();
    void load();
    void setFailed(bool failed);

    QString m_path;
    QVariantList m_query;
    QString m_loadedKey;
    bool m_failed = false;
    bool m_loadScheduled = false;
    int m_generation = 0;
};
