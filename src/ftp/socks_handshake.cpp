#include "ftp/socks_handshake.h"

#include <QHostAddress>

namespace {
void AppendPort(QByteArray& bytes, quint16 port) {
    bytes.append(static_cast<char>(port >> 8));
    bytes.append(static_cast<char>(port & 0xff));
}

void AppendIpv4(QByteArray& bytes, quint32 ip) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes.append(static_cast<char>((ip >> shift) & 0xff));
    }
}

quint8 Byte(const QByteArray& bytes, qsizetype index) {
    return static_cast<quint8>(bytes[index]);
}
}  // namespace

SocksHandshake::SocksHandshake(SocksLevel level, const QString& host, quint16 port,
                               const QString& user, const QString& password)
    : m_level(level),
      m_host(host),
      m_port(port),
      m_user(user.toUtf8()),
      m_password(password.toUtf8()) {}

QByteArray SocksHandshake::Start() {
    QByteArray bytes;
    if (m_level == SocksLevel::HttpConnect) {
        m_phase = Phase::HttpReply;
        QHostAddress address;
        const bool ipv6 =
            address.setAddress(m_host) && address.protocol() == QAbstractSocket::IPv6Protocol;
        const QByteArray target = (ipv6 ? "[" + m_host.toUtf8() + "]" : m_host.toUtf8()) + ":" +
                                  QByteArray::number(m_port);
        bytes = "CONNECT " + target + " HTTP/1.1\r\nHost: " + target + "\r\n";
        if (!m_user.isEmpty()) {
            bytes +=
                "Proxy-Authorization: Basic " + (m_user + ":" + m_password).toBase64() + "\r\n";
        }
        bytes += "\r\n";
        return bytes;
    }
    if (m_level == SocksLevel::Socks5) {
        m_phase = Phase::MethodReply;
        bytes.append('\x05');
        if (m_user.isEmpty()) {
            bytes.append("\x01\x00", 2);
        } else {
            bytes.append("\x02\x00\x02", 3);
        }
        return bytes;
    }
    m_phase = Phase::Socks4Reply;
    bytes.append("\x04\x01", 2);
    AppendPort(bytes, m_port);
    QHostAddress address;
    const bool isAddress =
        address.setAddress(m_host) && address.protocol() == QAbstractSocket::IPv4Protocol;
    if (m_level == SocksLevel::Socks4 || isAddress) {
        AppendIpv4(bytes, address.toIPv4Address());
        bytes.append(m_user);
        bytes.append('\0');
    } else {
        // 4A: the address 0.0.0.x with x non-zero asks the server to look the name up.
        AppendIpv4(bytes, 1);
        bytes.append(m_user);
        bytes.append('\0');
        bytes.append(m_host.toUtf8());
        bytes.append('\0');
    }
    return bytes;
}

QByteArray SocksHandshake::Socks5ConnectRequest() const {
    QByteArray bytes("\x05\x01\x00", 3);
    QHostAddress address;
    if (address.setAddress(m_host) && address.protocol() == QAbstractSocket::IPv4Protocol) {
        bytes.append('\x01');
        AppendIpv4(bytes, address.toIPv4Address());
    } else {
        const QByteArray name = m_host.toUtf8().left(255);
        bytes.append('\x03');
        bytes.append(static_cast<char>(name.size()));
        bytes.append(name);
    }
    AppendPort(bytes, m_port);
    return bytes;
}

SocksHandshake::Step SocksHandshake::FeedHttp(const QByteArray& received) {
    Step step;
    const qsizetype end = received.indexOf("\r\n\r\n");
    if (end < 0) {
        if (received.size() >= kMaxHttpReply) {
            step.consumed = received.size();
            step.error = "HTTP proxy answer too long";
        }
        return step;
    }
    step.consumed = end + 4;
    const QByteArray statusLine = received.left(received.indexOf("\r\n"));
    const QList<QByteArray> words = statusLine.simplified().split(' ');
    if (words.size() < 2 || !words[0].startsWith("HTTP/")) {
        step.error = "HTTP proxy protocol error";
    } else if (!words[1].startsWith('2') || words[1].size() != 3) {
        step.error = "HTTP proxy refused the connection: " + QString::fromLatin1(statusLine);
    } else {
        step.done = true;
    }
    return step;
}

SocksHandshake::Step SocksHandshake::Feed(const QByteArray& received) {
    Step step;
    switch (m_phase) {
        case Phase::HttpReply:
            return FeedHttp(received);
        case Phase::Socks4Reply:
            if (received.size() < 8) {
                return step;
            }
            step.consumed = 8;
            if (Byte(received, 1) != 90) {
                step.error =
                    "SOCKS request rejected (code " + QString::number(Byte(received, 1)) + ")";
                return step;
            }
            step.done = true;
            return step;
        case Phase::MethodReply:
            if (received.size() < 2) {
                return step;
            }
            step.consumed = 2;
            if (Byte(received, 0) != 5) {
                step.error = "SOCKS protocol error";
            } else if (Byte(received, 1) == 0) {
                m_phase = Phase::ConnectReply;
                step.send = Socks5ConnectRequest();
            } else if (Byte(received, 1) == 2 && !m_user.isEmpty()) {
                m_phase = Phase::AuthReply;
                step.send.append('\x01');
                step.send.append(static_cast<char>(qMin<qsizetype>(m_user.size(), 255)));
                step.send.append(m_user.left(255));
                step.send.append(static_cast<char>(qMin<qsizetype>(m_password.size(), 255)));
                step.send.append(m_password.left(255));
            } else {
                step.error = "SOCKS server accepts no offered authentication method";
            }
            return step;
        case Phase::AuthReply:
            if (received.size() < 2) {
                return step;
            }
            step.consumed = 2;
            if (Byte(received, 1) != 0) {
                step.error = "SOCKS authentication failed";
                return step;
            }
            m_phase = Phase::ConnectReply;
            step.send = Socks5ConnectRequest();
            return step;
        case Phase::ConnectReply: {
            if (received.size() < 5) {
                return step;
            }
            qsizetype length = 0;
            switch (Byte(received, 3)) {
                case 1:
                    length = 4 + 4 + 2;
                    break;
                case 3:
                    length = 4 + 1 + Byte(received, 4) + 2;
                    break;
                case 4:
                    length = 4 + 16 + 2;
                    break;
                default:
                    step.consumed = received.size();
                    step.error = "SOCKS protocol error";
                    return step;
            }
            if (received.size() < length) {
                return step;
            }
            step.consumed = length;
            if (Byte(received, 0) != 5 || Byte(received, 1) != 0) {
                step.error =
                    "SOCKS request rejected (code " + QString::number(Byte(received, 1)) + ")";
                return step;
            }
            step.done = true;
            return step;
        }
    }
    return step;
}
