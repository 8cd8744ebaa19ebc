#pragma once
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

// Any JSON value written inline in a test; bad test JSON stops the run.
inline QJsonValue json(const char *text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray("[") + text + "]", &error);
    if (error.error != QJsonParseError::NoError)
        qFatal("bad test JSON: %s", text);
    return document.array().at(0);
}
