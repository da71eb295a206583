// A loopback HTTP server for the request tests: records every request
// exactly as it arrived and answers it at once, after a delay, or never.
#ifndef HTTPRECORDER_H
#define HTTPRECORDER_H

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>

class QTcpSocket;

struct RecordedRequest {
    QByteArray method;
    QByteArray target;                     // path and query as on the request line
    QHash<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
};

class HttpRecorder : public QObject {
    Q_OBJECT
public:
    // Answer delay: 0 answers at once, a negative value never answers.
    explicit HttpRecorder(int answerDelayMs = 0);

    bool listen();
    // http://127.0.0.1:PORT/prod-api/
    QString baseUrl() const;
    const QList<RecordedRequest> &requests() const { return m_requests; }
    void setAnswerDelay(int ms) { m_answerDelayMs = ms; }

signals:
    void requestReceived();

private slots:
    void acceptConnection();

private:
    void readRequest(QTcpSocket *socket);
    void answer(QTcpSocket *socket);

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QList<RecordedRequest> m_requests;
    int m_answerDelayMs;
};

#endif // HTTPRECORDER_H
