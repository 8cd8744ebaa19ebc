#pragma once
#include <QHash>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <algorithm>
#include <utility>

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
        qsizetype heldBack = 0; // bytes at the body's end sent only on release()
    };
    struct Request
    {
        QString path;
        QString query;
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
    // The last request of `path`, or an empty one.
    Request last(const QString &path) const
    {
        const auto found =
            std::find_if(m_requests.rbegin(), m_requests.rend(), [&](const Request &r) { return r.path == path; });
        return found == m_requests.rend() ? Request{} : *found;
    }
    int count(const QString &path) const
    {
        return int(
            std::count_if(m_requests.begin(), m_requests.end(), [&](const Request &r) { return r.path == path; }));
    }

    // Sends the held-back ends of the answers given so far.
    void release()
    {
        for (const auto &[socket, tail] : std::exchange(m_held, {})) {
            if (socket)
                close(socket, tail);
        }
    }

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
        const QUrl target(QString::fromLatin1(lines.first().split(' ').value(1)));
        Request request{target.path(), target.query(), {}};
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
        const qsizetype sent = answer.body.size() - answer.heldBack;
        socket->write(head + answer.body.left(sent));
        if (answer.heldBack > 0)
            m_held.append({socket, answer.body.mid(sent)});
        else
            close(socket, {});
    }

    static void close(QTcpSocket *socket, const QByteArray &tail)
    {
        socket->write(tail);
        socket->disconnectFromHost();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

    QTcpServer m_server;
    QHash<QString, Answer> m_answers;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QList<Request> m_requests;
    QList<std::pair<QPointer<QTcpSocket>, QByteArray>> m_held;
};
