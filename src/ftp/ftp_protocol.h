#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

// Plain functions and one small framing class over the texts of the FTP control connection.
// Nothing here touches a socket, so all of it is tested with tables.

// One line taken from the control connection. Complete is set on the line that ends a reply;
// Code is then the reply's status code.
struct FtpReplyLine {
    QString text;
    bool complete = false;
    int code = 0;
};

// Cuts the control connection's bytes into lines at line feeds (a carriage return before the
// line feed is dropped, a bare line feed is accepted) and marks the line that ends a reply: a
// reply opened by "DDD-" ends only on a line that starts with the same code and a blank (or is
// the code alone), so continuation lines such as "10 users online" never end it early. Lines
// are UTF-8; bytes that are not are read as Latin-1.
// Bytes are gathered in a buffer of kBufferSize; a line that does not fit is cut there and its
// rest becomes the next line, so a hostile server cannot make the buffer grow.
class FtpReplyReader {
public:
    static constexpr int kBufferSize = 4096;

    // Feeds received bytes and returns the lines they completed, in order.
    std::vector<FtpReplyLine> Feed(const QByteArray& bytes);
    void Clear() {
        m_buffer.clear();
        m_openCode = 0;
    }

private:
    FtpReplyLine Classify(const QByteArray& raw);

    QByteArray m_buffer;
    int m_openCode = 0;  // the code of the multi-line reply being read, 0 outside one
};

// The code of a line that starts with three digits followed by a blank or nothing (a line that
// can end a reply), otherwise nothing.
std::optional<int> ReplyEndCode(const QString& line);
// The code of a line that opens a multi-line reply ("DDD-"), otherwise nothing.
std::optional<int> ReplyOpenCode(const QString& line);

// A control-connection line as text: UTF-8, or Latin-1 when the bytes are not UTF-8.
QString DecodeControlLine(const QByteArray& raw);

// The address and port named by a 227 reply: the six numbers between its parentheses.
struct PasvAddress {
    QString host;
    quint16 port = 0;
};
std::optional<PasvAddress> ParsePasvReply(const QString& reply);

// "PORT h1,h2,h3,h4,p1,p2" for an IPv4 address given as text.
QString PortCommand(const QString& ipv4, quint16 port);

// The port named by a 229 reply: "(|||port|)" with any delimiter character.
std::optional<quint16> ParseEpsvReply(const QString& reply);
// "EPRT |1|address|port|" or "EPRT |2|address|port|".
QString EprtCommand(const QString& address, bool ipv6, quint16 port);

// True when a command argument holds a carriage return or line feed: sent, it would become a
// second command.
bool HasLineBreak(const QString& text);

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

// What a FEAT reply announces that the program uses.
struct FtpFeatures {
    bool mdtm = false;
    bool mfmt = false;       // a file's modification time can be set
    bool mlst = false;       // MLST (and so MLSD) is offered
    QStringList mlstFacts;   // the facts MLST offers, lower-cased, without their "*"
    QStringList factsInUse;  // those marked "*": the server sends them now
    // MLST offers what a listing needs: type, size and modify.
    bool MachineListings() const;
    // And the server sends them unasked.
    bool ListingFactsInUse() const;
};
// The features of the lines of a 211 reply to FEAT (the code lines themselves are skipped);
// nothing for a server that refused FEAT.
FtpFeatures ParseFeatReply(const QStringList& lines);
// "OPTS MLST type;size;modify;..." for the wanted facts (type, size, modify, UNIX.mode, perm) that
// the server offers, when one of them is not in use yet or facts not wanted are (they only
// lengthen every line); empty text when nothing is to change.
QString MlstOptionsCommand(const FtpFeatures& features);
