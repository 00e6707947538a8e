#pragma once

#include <QObject>
#include <QPointer>
#include <QTcpSocket>

#include <memory>
#include <optional>

#include "ftp/socks_handshake.h"

// Where a SOCKS tunnel goes through.
struct SocksSettings {
    SocksLevel level = SocksLevel::Socks5;
    QString server;
    quint16 port = 1080;
    QString user;
    QString password;
};

// Opens a TCP connection on a given socket, directly or through a SOCKS server, without
// blocking. Exactly one of Connected or Failed is emitted per Connect unless Cancel is called.
class TcpConnector : public QObject {
    Q_OBJECT
public:
    explicit TcpConnector(QObject* parent = nullptr) : QObject(parent) {}

    void Connect(QTcpSocket* socket, const QString& host, quint16 port,
                 const std::optional<SocksSettings>& socks);
    // Stops listening to the socket; the socket itself is left to its owner.
    void Cancel();

signals:
    void Connected();
    void Failed(const QString& text, int number);

private:
    void OnSocketConnected();
    void OnReadyRead();
    void OnError(QAbstractSocket::SocketError error);
    void StartHandshake(const QString& host);
    void Finish(bool ok, const QString& text = QString(), int number = 0);

    QPointer<QTcpSocket> m_socket;
    QString m_host;
    quint16 m_port = 0;
    std::optional<SocksSettings> m_socks;
    std::unique_ptr<SocksHandshake> m_handshake;
    int m_lookupId = -1;
};
