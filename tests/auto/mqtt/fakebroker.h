#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

// A TCP listener on a free loopback port that plays the broker's first move: once a CONNECT
// has arrived it writes a fixed answer (a chosen CONNACK, garbage, or nothing at all).
class FakeBroker
{
public:
    static QByteArray connack(quint8 code) { return QByteArray::fromHex("2002") + char(0) + char(code); }

    explicit FakeBroker(const QByteArray& answer)
        : m_answer(answer)
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                ++m_accepted;
                m_sockets.append(socket);
                QObject::connect(socket, &QTcpSocket::readyRead, [this, socket] {
                    m_received += socket->readAll();
                    if (!m_answer.isEmpty() && socket->property("answered").isNull()) {
                        socket->setProperty("answered", true);
                        socket->write(m_answer);
                    }
                });
            }
        });
    }

    quint16 port() const { return m_server.serverPort(); }
    int accepted() const { return m_accepted; }
    // Everything the clients sent, concatenated.
    QByteArray received() const { return m_received; }
    // Sockets the client has not closed yet.
    int openConnections() const
    {
        int open = 0;
        for (const QPointer<QTcpSocket>& socket : m_sockets)
            open += socket && socket->state() == QAbstractSocket::ConnectedState ? 1 : 0;
        return open;
    }

private:
    QTcpServer m_server;
    QByteArray m_answer;
    QList<QPointer<QTcpSocket>> m_sockets;
    QByteArray m_received;
    int m_accepted = 0;
};
