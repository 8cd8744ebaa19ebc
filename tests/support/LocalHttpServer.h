#pragma once
#include <QHash>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

// A one-request-per-connection HTTP server on 127.0.0.1 for media tests: serves fixed answers by
// path and records the headers of every request it got (names in lower case).
class LocalHttpServer : public QObject
{
public:
    struct Answer
    {
        int status = 200;
        QByteArray body;
        QByteArray location; // for redirects
    };
    struct Request
    {
        QString path;
        QHash<QByteArray, QByteArray> headers;
    };

    LocalHttpServer()
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
        });
    }

    QUrl url(const QString &path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
    }
    void answer(const QString &path, Answer answer) { m_answers.insert(path, std::move(answer)); }
    const QList<Request> &requests() const { return m_requests; }

private:
    void serve(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        m_buffers.remove(socket);
        Request request{QUrl(QString::fromLatin1(lines.first().split(' ').value(1))).path(), {}};
        for (const QByteArray &line : lines.mid(1)) {
            const qsizetype colon = line.indexOf(':');
            request.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
        }
        m_requests.append(request);
        const Answer answer = m_answers.value(request.path, Answer{404, {}, {}});
        QByteArray head = "HTTP/1.1 " + QByteArray::number(answer.status) + " X\r\nConnection: close\r\n";
        if (!answer.location.isEmpty())
            head += "Location: " + answer.location + "\r\n";
        head += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n\r\n";
        socket->write(head + answer.body);
        socket->disconnectFromHost();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

    QTcpServer m_server;
    QHash<QString, Answer> m_answers;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QList<Request> m_requests;
};
