#include "httprecorder.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

HttpRecorder::HttpRecorder(int answerDelayMs) : m_answerDelayMs(answerDelayMs) {
    connect(&m_server, &QTcpServer::newConnection, this, &HttpRecorder::acceptConnection);
}

bool HttpRecorder::listen() {
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QString HttpRecorder::baseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1/prod-api/").arg(m_server.serverPort());
}

void HttpRecorder::acceptConnection() {
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            socket->deleteLater();
        });
    }
}

void HttpRecorder::readRequest(QTcpSocket *socket) {
    QByteArray &buffer = m_buffers[socket];
    buffer += socket->readAll();
    // Several requests may share a kept-alive connection; take each one
    // that is complete.
    for (;;) {
        const int headerEnd = buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0) {
            return;
        }
        RecordedRequest request;
        const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        request.method = requestLine.value(0);
        request.target = requestLine.value(1);
        for (int i = 1; i < lines.size(); ++i) {
            const int colon = lines[i].indexOf(':');
            if (colon > 0) {
                request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                       lines[i].mid(colon + 1).trimmed());
            }
        }
        const int length = request.headers.value("content-length", "0").toInt();
        if (buffer.size() < headerEnd + 4 + length) {
            return;
        }
        request.body = buffer.mid(headerEnd + 4, length);
        buffer.remove(0, headerEnd + 4 + length);
        m_requests.append(request);
        emit requestReceived();

        if (m_answerDelayMs == 0) {
            answer(socket);
        } else if (m_answerDelayMs > 0) {
            const QPointer<QTcpSocket> guarded(socket);
            QTimer::singleShot(m_answerDelayMs, this, [this, guarded] {
                if (guarded) {
                    answer(guarded);
                }
            });
        }
    }
}

void HttpRecorder::answer(QTcpSocket *socket) {
    const QByteArray body = R"({"code":200,"msg":"success","data":{}})";
    socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                  QByteArray::number(body.size()) + "\r\n\r\n" + body);
}
