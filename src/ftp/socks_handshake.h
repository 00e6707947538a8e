#pragma once

#include <QByteArray>
#include <QString>

// The tunnels a connection can go through: SOCKS 4, 4A and 5, and an HTTP proxy's CONNECT
// (with Basic authentication when a user is given).
enum class SocksLevel { Socks4, Socks4A, Socks5, HttpConnect };

// The client side of a SOCKS 4, 4A or 5 CONNECT or an HTTP CONNECT, as pure byte logic: Start gives
// the first bytes to send; Feed is given the bytes received so far and reports how many it used,
// what to send next and whether the tunnel is up or refused. Bytes after the server's last answer
// are left alone: they belong to the tunnelled protocol.
class SocksHandshake {
public:
    struct Step {
        qsizetype consumed = 0;  // bytes of the input used; 0 means: wait for more
        QByteArray send;
        bool done = false;
        QString error;  // non-empty: the handshake failed
    };

    // Host must be an IPv4 address for SOCKS 4; 4A and 5 pass names to the server.
    SocksHandshake(SocksLevel level, const QString& host, quint16 port, const QString& user,
                   const QString& password);

    QByteArray Start();
    Step Feed(const QByteArray& received);

    // The longest HTTP proxy answer (status line and headers) taken before giving up.
    static constexpr qsizetype kMaxHttpReply = 8192;

private:
    enum class Phase { Socks4Reply, MethodReply, AuthReply, ConnectReply, HttpReply };
    Step FeedHttp(const QByteArray& received);
    QByteArray Socks5ConnectRequest() const;

    SocksLevel m_level;
    QString m_host;
    quint16 m_port;
    QByteArray m_user;
    QByteArray m_password;
    Phase m_phase = Phase::Socks4Reply;
};
