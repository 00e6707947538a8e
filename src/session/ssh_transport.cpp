#include "session/ssh_transport.h"

#include <libssh2.h>

#include <QCoreApplication>
#include <QTcpSocket>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "ftp/tcp_connector.h"
#include "session/sftp_packet.h"

namespace {

// The receive window we grant the server: far more than the reads we keep in flight, so a
// download is bounded by TCP and by our request window, never by SSH flow control.
constexpr unsigned int kChannelWindow = 64u * 1024 * 1024;
// libssh2 refuses packets above about 35000 bytes, so the packet size stays at its default.
constexpr unsigned int kChannelPacket = 32768;
constexpr qsizetype kReadBufferSize = 256 * 1024;
// Beyond this much unsent in the socket, libssh2 is told to wait (bounds memory on uploads).
constexpr qint64 kSocketWriteLimit = 4 * 1024 * 1024;

SshTransport* TransportOf(void** abstract) {
    return static_cast<SshTransport*>(*abstract);
}

LIBSSH2_RECV_FUNC(RecvCallback) {
    Q_UNUSED(socket);
    Q_UNUSED(flags);
    return static_cast<ssize_t>(
        TransportOf(abstract)->RecvFromSocket(static_cast<char*>(buffer), qint64(length)));
}

LIBSSH2_SEND_FUNC(SendCallback) {
    Q_UNUSED(socket);
    Q_UNUSED(flags);
    return static_cast<ssize_t>(
        TransportOf(abstract)->SendToSocket(static_cast<const char*>(buffer), qint64(length)));
}

// Keyboard-interactive: every prompt is answered with the password (what servers that offer
// only this method ask for). libssh2 frees the answers with free().
LIBSSH2_USERAUTH_KBDINT_RESPONSE_FUNC(KeyboardCallback) {
    Q_UNUSED(name);
    Q_UNUSED(name_len);
    Q_UNUSED(instruction);
    Q_UNUSED(instruction_len);
    Q_UNUSED(prompts);
    const QByteArray& password = TransportOf(abstract)->PasswordUtf8();
    for (int i = 0; i < num_prompts; ++i) {
        char* text = static_cast<char*>(std::malloc(password.size() + 1));
        if (!text) {
            responses[i].text = nullptr;
            responses[i].length = 0;
            continue;
        }
        std::memcpy(text, password.constData(), password.size() + 1);
        responses[i].text = text;
        responses[i].length = static_cast<unsigned int>(password.size());
    }
}

QString Tr(const char* text) {
    return QCoreApplication::translate("Sftp", text);
}

}  // namespace

SshTransport::SshTransport(QObject* parent) : QObject(parent) {
    static std::once_flag once;
    std::call_once(once, [] { libssh2_init(0); });
}

SshTransport::~SshTransport() {
    Close();
}

void SshTransport::Start(const SftpConnectOptions& options) {
    m_user = options.user.toUtf8();
    m_password = options.password.toUtf8();
    m_state = State::Connecting;
    m_socket = new QTcpSocket(this);
    m_connector = new TcpConnector(this);
    connect(m_connector, &TcpConnector::Connected, this, &SshTransport::OnConnected);
    connect(m_connector, &TcpConnector::Failed, this,
            [this](const QString& text, int) { Fail(SftpConnection::kConnectFailed, text); });
    m_connector->Connect(m_socket, options.host, options.port, options.socks);
}

void SshTransport::OnConnected() {
    if (m_state != State::Connecting) {
        return;
    }
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_session = libssh2_session_init_ex(nullptr, nullptr, nullptr, this);
    if (!m_session) {
        Fail(SftpConnection::kHandshakeFailed, Tr("The SSH library could not start a session"));
        return;
    }
    libssh2_session_callback_set(m_session, LIBSSH2_CALLBACK_RECV,
                                 reinterpret_cast<void*>(&RecvCallback));
    libssh2_session_callback_set(m_session, LIBSSH2_CALLBACK_SEND,
                                 reinterpret_cast<void*>(&SendCallback));
    // Authenticated encryption first where the library has it; then AES in counter mode,
    // which is what the bundled libssh2 offers at full speed.
    libssh2_session_method_pref(m_session, LIBSSH2_METHOD_CRYPT_CS,
                                "aes128-gcm@openssh.com,aes256-gcm@openssh.com,"
                                "chacha20-poly1305@openssh.com,aes128-ctr,aes192-ctr,aes256-ctr,"
                                "aes256-cbc,aes192-cbc,aes128-cbc");
    libssh2_session_method_pref(m_session, LIBSSH2_METHOD_CRYPT_SC,
                                "aes128-gcm@openssh.com,aes256-gcm@openssh.com,"
                                "chacha20-poly1305@openssh.com,aes128-ctr,aes192-ctr,aes256-ctr,"
                                "aes256-cbc,aes192-cbc,aes128-cbc");
    libssh2_session_set_blocking(m_session, 0);
    m_readBuffer.reset(new char[kReadBufferSize]);
    connect(m_socket, &QTcpSocket::readyRead, this, [this] {
        if (onActivity) {
            onActivity();
        }
        Pump();
    });
    connect(m_socket, &QTcpSocket::bytesWritten, this, [this] { Pump(); });
    connect(m_socket, &QTcpSocket::disconnected, this, [this] {
        Pump();
        if (m_state != State::Closed) {
            Fail(SftpConnection::kConnectionLost, Tr("The server closed the connection"));
        }
    });
    m_state = State::Handshake;
    Pump();
}

qint64 SshTransport::RecvFromSocket(char* buffer, qint64 length) {
    // Once closed, every socket call fails, so libssh2 frees itself without waiting to send.
    if (!m_socket || m_state == State::Closed) {
        return -ECONNRESET;
    }
    const qint64 n = m_socket->read(buffer, length);
    if (n > 0) {
        return n;
    }
    if (n < 0) {
        return -ECONNRESET;
    }
    if (m_socket->state() != QAbstractSocket::ConnectedState) {
        return 0;  // end of stream
    }
    return -EAGAIN;
}

qint64 SshTransport::SendToSocket(const char* buffer, qint64 length) {
    if (!m_socket || m_state == State::Closed ||
        m_socket->state() != QAbstractSocket::ConnectedState) {
        return -ECONNRESET;
    }
    if (m_socket->bytesToWrite() > kSocketWriteLimit) {
        return -EAGAIN;
    }
    const qint64 n = m_socket->write(buffer, length);
    return n < 0 ? -ECONNRESET : n;
}

void SshTransport::Send(QByteArray bytes) {
    if (m_state == State::Closed || bytes.isEmpty()) {
        return;
    }
    m_outBytes += bytes.size();
    m_out.push_back(std::move(bytes));
    // Never pumps from here: Send is called from inside our own callbacks, and a running pump
    // writes the queue before it reads again. Outside a pump, the posted call sends it.
    if (m_state == State::Ready && !m_pumpScheduled) {
        m_pumpScheduled = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_pumpScheduled = false;
                Pump();
            },
            Qt::QueuedConnection);
    }
}

// Runs only from the event loop (socket signals, posted calls). A callback that runs a nested
// event loop may thus pump again while the outer pump waits between two libssh2 calls, which
// is safe: libssh2 is never inside a call at that moment.
void SshTransport::Pump() {
    Step();
}

void SshTransport::Step() {
    for (;;) {
        switch (m_state) {
            case State::Idle:
            case State::Connecting:
            case State::Closed:
                return;
            case State::Handshake: {
                const int rc = libssh2_session_handshake(
                    m_session, static_cast<libssh2_socket_t>(m_socket->socketDescriptor()));
                if (rc == LIBSSH2_ERROR_EAGAIN) {
                    return;
                }
                if (rc != 0) {
                    Fail(SftpConnection::kHandshakeFailed, LastError());
                    return;
                }
                const char* hash = libssh2_hostkey_hash(m_session, LIBSSH2_HOSTKEY_HASH_SHA256);
                if (!hash) {
                    Fail(SftpConnection::kHandshakeFailed, Tr("The server sent no host key"));
                    return;
                }
                m_fingerprint = QStringLiteral("SHA256:") +
                                QString::fromLatin1(
                                    QByteArray(hash, 32).toBase64(QByteArray::OmitTrailingEquals));
                m_state = State::AuthList;
                if (onHostKey) {
                    onHostKey(m_fingerprint);
                }
                break;
            }
            case State::AuthList: {
                const char* list = libssh2_userauth_list(m_session, m_user.constData(),
                                                         static_cast<unsigned int>(m_user.size()));
                if (!list) {
                    if (libssh2_userauth_authenticated(m_session)) {
                        m_state = State::OpenChannel;
                        break;
                    }
                    if (libssh2_session_last_errno(m_session) == LIBSSH2_ERROR_EAGAIN) {
                        return;
                    }
                    Fail(SftpConnection::kHandshakeFailed, LastError());
                    return;
                }
                const QList<QByteArray> methods = QByteArray(list).split(',');
                m_offersKeyboard = methods.contains("keyboard-interactive");
                if (methods.contains("password")) {
                    m_state = State::AuthPassword;
                } else if (m_offersKeyboard) {
                    m_state = State::AuthKeyboard;
                } else {
                    Fail(SftpConnection::kPasswordRefused,
                         Tr("The server offers no password login (it offers: %1)")
                             .arg(QString::fromLatin1(list)));
                    return;
                }
                break;
            }
            case State::AuthPassword:
            case State::AuthKeyboard: {
                const bool keyboard = m_state == State::AuthKeyboard;
                const int rc =
                    keyboard ? libssh2_userauth_keyboard_interactive_ex(
                                   m_session, m_user.constData(),
                                   static_cast<unsigned int>(m_user.size()), &KeyboardCallback)
                             : libssh2_userauth_password_ex(
                                   m_session, m_user.constData(),
                                   static_cast<unsigned int>(m_user.size()), m_password.constData(),
                                   static_cast<unsigned int>(m_password.size()), nullptr);
                if (rc == LIBSSH2_ERROR_EAGAIN) {
                    return;
                }
                if (rc == 0) {
                    m_state = State::OpenChannel;
                    break;
                }
                if (rc == LIBSSH2_ERROR_AUTHENTICATION_FAILED ||
                    rc == LIBSSH2_ERROR_PASSWORD_EXPIRED || rc == LIBSSH2_ERROR_METHOD_NONE) {
                    if (!keyboard && m_offersKeyboard && !m_triedKeyboard) {
                        m_triedKeyboard = true;
                        m_state = State::AuthKeyboard;
                        break;
                    }
                    Fail(SftpConnection::kPasswordRefused,
                         SftpCodeText(SftpConnection::kPasswordRefused));
                    return;
                }
                Fail(SftpConnection::kConnectionLost, LastError());
                return;
            }
            case State::OpenChannel: {
                m_channel = libssh2_channel_open_ex(m_session, "session", 7, kChannelWindow,
                                                    kChannelPacket, nullptr, 0);
                if (!m_channel) {
                    if (libssh2_session_last_errno(m_session) == LIBSSH2_ERROR_EAGAIN) {
                        return;
                    }
                    Fail(SftpConnection::kHandshakeFailed, LastError());
                    return;
                }
                libssh2_channel_handle_extended_data2(m_channel,
                                                      LIBSSH2_CHANNEL_EXTENDED_DATA_IGNORE);
                m_state = State::Subsystem;
                break;
            }
            case State::Subsystem: {
                const int rc =
                    libssh2_channel_process_startup(m_channel, "subsystem", 9, "sftp", 4);
                if (rc == LIBSSH2_ERROR_EAGAIN) {
                    return;
                }
                if (rc != 0) {
                    Fail(SftpConnection::kHandshakeFailed,
                         Tr("The server has no SFTP subsystem (%1)").arg(LastError()));
                    return;
                }
                m_state = State::Ready;
                if (onReady) {
                    onReady();
                }
                break;
            }
            case State::Ready:
                StepReady();
                return;
        }
    }
}

// Moves queued output into the channel and everything that arrived out of it, until libssh2
// has to wait for the socket in both directions.
bool SshTransport::StepReady() {
    for (;;) {
        bool moved = false;
        const qsizetype before = m_outBytes;
        while (!m_out.empty()) {
            const QByteArray& front = m_out.front();
            const ssize_t n = libssh2_channel_write(m_channel, front.constData() + m_outOffset,
                                                    size_t(front.size() - m_outOffset));
            if (n == LIBSSH2_ERROR_EAGAIN) {
                break;
            }
            if (n < 0) {
                Fail(SftpConnection::kConnectionLost, LastError());
                return false;
            }
            moved = moved || n > 0;
            m_outOffset += n;
            m_outBytes -= n;
            if (m_outOffset == front.size()) {
                m_out.pop_front();
                m_outOffset = 0;
            }
            if (n == 0) {
                break;
            }
        }
        if (m_outBytes < before && onWritable) {
            onWritable();
            if (m_state != State::Ready) {
                return false;
            }
        }
        const ssize_t n = libssh2_channel_read(m_channel, m_readBuffer.get(), kReadBufferSize);
        if (n > 0) {
            if (onData) {
                onData(m_readBuffer.get(), n);
            }
            if (m_state != State::Ready) {
                return false;
            }
            continue;
        }
        if (n == LIBSSH2_ERROR_EAGAIN || n == 0) {
            if (n == 0 && libssh2_channel_eof(m_channel)) {
                Fail(SftpConnection::kConnectionLost, Tr("The server ended the SFTP session"));
                return false;
            }
            if (moved) {
                continue;
            }
            return true;
        }
        Fail(SftpConnection::kConnectionLost, LastError());
        return false;
    }
}

QString SshTransport::LastError() const {
    if (!m_session) {
        return Tr("The SSH connection failed");
    }
    char* message = nullptr;
    int length = 0;
    libssh2_session_last_error(m_session, &message, &length, 0);
    if (!message || length == 0) {
        return Tr("The SSH connection failed");
    }
    return Tr("SSH: %1").arg(QString::fromUtf8(message, length));
}

void SshTransport::Fail(int code, const QString& text) {
    if (m_state == State::Closed) {
        return;
    }
    Close();
    if (onFailed) {
        onFailed(code, text);
    }
}

void SshTransport::Close() {
    if (m_state == State::Closed) {
        return;
    }
    m_state = State::Closed;
    if (m_connector) {
        m_connector->Cancel();
    }
    // libssh2 is freed without its goodbye messages: they could only wait on a socket we are
    // about to drop anyway.
    if (m_channel) {
        libssh2_channel_free(m_channel);
        m_channel = nullptr;
    }
    if (m_session) {
        libssh2_session_free(m_session);
        m_session = nullptr;
    }
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    m_out.clear();
    m_outBytes = 0;
    m_outOffset = 0;
}
