#include "ftp/tcp_connector.h"

#include <QHostAddress>
#include <QHostInfo>

#include "ftp/socket_errors.h"

void TcpConnector::Connect(QTcpSocket* socket, const QString& host, quint16 port,
                           const std::optional<SocksSettings>& socks) {
    Cancel();
    m_socket = socket;
    m_host = host;
    m_port = port;
    m_socks = socks;
    connect(socket, &QTcpSocket::connected, this, &TcpConnector::OnSocketConnected);
    connect(socket, &QTcpSocket::errorOccurred, this, &TcpConnector::OnError);
    if (m_socks) {
        connect(socket, &QTcpSocket::readyRead, this, &TcpConnector::OnReadyRead);
        socket->connectToHost(m_socks->server, m_socks->port);
    } else {
        socket->connectToHost(host, port);
    }
}

void TcpConnector::Cancel() {
    if (m_lookupId >= 0) {
        QHostInfo::abortHostLookup(m_lookupId);
        m_lookupId = -1;
    }
    if (m_socket) {
        disconnect(m_socket, nullptr, this, nullptr);
    }
    m_socket.clear();
    m_handshake.reset();
}

void TcpConnector::OnSocketConnected() {
    if (!m_socks) {
        Finish(true);
        return;
    }
    QHostAddress address;
    if (m_socks->level == SocksLevel::Socks4 && !address.setAddress(m_host)) {
        // SOCKS 4 carries only an address: look the name up here first.
        m_lookupId = QHostInfo::lookupHost(m_host, this, [this](const QHostInfo& info) {
            m_lookupId = -1;
            for (const QHostAddress& found : info.addresses()) {
                if (found.protocol() == QAbstractSocket::IPv4Protocol) {
                    StartHandshake(found.toString());
                    return;
                }
            }
            Finish(false, "Host not found", 11001);
        });
        return;
    }
    StartHandshake(m_host);
}

void TcpConnector::StartHandshake(const QString& host) {
    m_handshake = std::make_unique<SocksHandshake>(m_socks->level, host, m_port, m_socks->user,
                                                   m_socks->password);
    m_socket->write(m_handshake->Start());
}

void TcpConnector::OnReadyRead() {
    while (m_socket && m_handshake) {
        const SocksHandshake::Step step =
            m_handshake->Feed(m_socket->peek(SocksHandshake::kMaxHttpReply));
        if (step.consumed == 0 && step.error.isEmpty()) {
            return;
        }
        m_socket->read(step.consumed);
        if (!step.error.isEmpty()) {
            Finish(false, step.error, 10061);
            return;
        }
        if (!step.send.isEmpty()) {
            m_socket->write(step.send);
        }
        if (step.done) {
            Finish(true);
            return;
        }
    }
}

void TcpConnector::OnError(QAbstractSocket::SocketError error) {
    const SocketErrorInfo info = DescribeSocketError(error);
    Finish(false, info.text, info.number);
}

void TcpConnector::Finish(bool ok, const QString& text, int number) {
    const bool hadSocket = !m_socket.isNull();
    Cancel();
    if (!hadSocket) {
        return;
    }
    if (ok) {
        emit Connected();
    } else {
        emit Failed(text, number);
    }
}
