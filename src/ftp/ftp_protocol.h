#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

// Plain functions and one small framing class over the texts of the FTP control connection.
// Nothing here touches a socket, so all of it is tested with tables.

// One line taken from the control connection. Complete is set on the line that ends a reply
// (digits followed by anything but "-"); Code is then the reply's status code.
struct FtpReplyLine {
    QString text;
    bool complete = false;
    int code = 0;
};

// Cuts the control connection's bytes into lines at line feeds (a carriage return before the
// line feed is dropped, a bare line feed is accepted) and marks the line that ends a reply.
// Bytes are gathered in a buffer of kBufferSize; a line that does not fit is cut there and its
// rest becomes the next line, so a hostile server cannot make the buffer grow.
class FtpReplyReader {
public:
    static constexpr int kBufferSize = 4096;

    // Feeds received bytes and returns the lines they completed, in order.
    std::vector<FtpReplyLine> Feed(const QByteArray& bytes);
    void Clear() { m_buffer.clear(); }

private:
    QByteArray m_buffer;
};

// Classifies one reply line: the status code when the line ends a reply, otherwise nothing.
std::optional<int> ReplyEndCode(const QString& line);

// The address and port named by a 227 reply: the six numbers between its parentheses.
struct PasvAddress {
    QString host;
    quint16 port = 0;
};
std::optional<PasvAddress> ParsePasvReply(const QString& reply);

// "PORT h1,h2,h3,h4,p1,p2" for an IPv4 address given as text.
QString PortCommand(const QString& ipv4, quint16 port);

// The USER command's argument through an FTP proxy: user@host, and ":port" unless the port is
// the standard one.
QString ProxyUserName(const QString& user, const QString& host, const QString& port);

// The port as a number: "ftp" is 21; an unusable text gives 0.
quint16 FtpPortNumber(const QString& port);

// The echo of a command for the display: the PASS argument is never shown.
QString CommandEcho(const QString& command);

// "! N bytes received in T milliseconds (R Bytes/sec)" with seconds for longer transfers.
QString TransferSummary(qint64 bytes, bool received, qint64 elapsedMs);

// The first directory named in double quotes in a 257 reply ("" inside stands for one quote).
QString DirectoryFrom257(const QString& reply);
