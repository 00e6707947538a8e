#include "ftp/ftp_protocol.h"

#include <QRegularExpression>
#include <QStringDecoder>

FtpReplyLine FtpReplyReader::Classify(const QByteArray& raw) {
    FtpReplyLine line;
    line.text = DecodeControlLine(raw);
    if (m_openCode != 0) {
        const auto code = ReplyEndCode(line.text);
        if (code && *code == m_openCode) {
            line.complete = true;
            line.code = m_openCode;
            m_openCode = 0;
        }
        return line;
    }
    if (const auto open = ReplyOpenCode(line.text)) {
        m_openCode = *open;
    } else if (const auto code = ReplyEndCode(line.text)) {
        line.complete = true;
        line.code = *code;
    }
    return line;
}

std::vector<FtpReplyLine> FtpReplyReader::Feed(const QByteArray& bytes) {
    std::vector<FtpReplyLine> lines;
    auto emitLine = [this, &lines](QByteArray raw) {
        if (raw.endsWith('\r')) {
            raw.chop(1);
        }
        lines.push_back(Classify(raw));
    };
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        const qsizetype room = kBufferSize - m_buffer.size();
        const qsizetype lf = bytes.indexOf('\n', pos);
        const qsizetype available = (lf < 0 ? bytes.size() : lf) - pos;
        if (lf >= 0 && available <= room) {
            m_buffer.append(bytes.constData() + pos, available);
            emitLine(std::exchange(m_buffer, QByteArray()));
            pos = lf + 1;
        } else if (available >= room) {
            // The buffer is full before the line ends: hand over what it holds.
            m_buffer.append(bytes.constData() + pos, room);
            emitLine(std::exchange(m_buffer, QByteArray()));
            pos += room;
        } else {
            m_buffer.append(bytes.constData() + pos, available);
            pos += available;
        }
    }
    return lines;
}

namespace {
// The three-digit code at the start of Line and the character after it (0 at the end).
std::optional<std::pair<int, QChar>> LeadingCode(const QString& line) {
    if (line.size() < 3) {
        return std::nullopt;
    }
    for (int i = 0; i < 3; ++i) {
        if (line[i] < '0' || line[i] > '9') {
            return std::nullopt;
        }
    }
    const QChar next = line.size() > 3 ? line[3] : QChar(0);
    return std::make_pair(line.left(3).toInt(), next);
}
}  // namespace

std::optional<int> ReplyEndCode(const QString& line) {
    const auto lead = LeadingCode(line);
    if (!lead || (lead->second != QChar(0) && lead->second != ' ')) {
        return std::nullopt;
    }
    return lead->first;
}

std::optional<int> ReplyOpenCode(const QString& line) {
    const auto lead = LeadingCode(line);
    if (!lead || lead->second != '-') {
        return std::nullopt;
    }
    return lead->first;
}

QString DecodeControlLine(const QByteArray& raw) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(raw);
    if (utf8.hasError()) {
        return QString::fromLatin1(raw);
    }
    return text;
}

bool HasLineBreak(const QString& text) {
    return text.contains('\r') || text.contains('\n');
}

std::optional<quint16> ParseEpsvReply(const QString& reply) {
    const qsizetype open = reply.indexOf('(');
    const qsizetype close = reply.indexOf(')', open + 1);
    if (open < 0 || close < 0 || close - open < 6) {
        return std::nullopt;
    }
    const QString inner = reply.mid(open + 1, close - open - 1);
    const QChar d = inner[0];
    if (inner.size() < 5 || inner[1] != d || inner[2] != d || !inner.endsWith(d)) {
        return std::nullopt;
    }
    bool ok = false;
    const int port = inner.mid(3, inner.size() - 4).toInt(&ok);
    if (!ok || port <= 0 || port > 65535) {
        return std::nullopt;
    }
    return static_cast<quint16>(port);
}

QString EprtCommand(const QString& address, bool ipv6, quint16 port) {
    return QStringLiteral("EPRT |%1|%2|%3|").arg(ipv6 ? 2 : 1).arg(address).arg(port);
}

std::optional<PasvAddress> ParsePasvReply(const QString& reply) {
    const qsizetype open = reply.indexOf('(');
    const qsizetype close = reply.indexOf(')', open + 1);
    if (open < 0 || close < 0) {
        return std::nullopt;
    }
    const QStringList parts = reply.mid(open + 1, close - open - 1).split(',');
    if (parts.size() != 6) {
        return std::nullopt;
    }
    int numbers[6];
    for (int i = 0; i < 6; ++i) {
        bool ok = false;
        numbers[i] = parts[i].trimmed().toInt(&ok);
        if (!ok || numbers[i] < 0 || numbers[i] > 255) {
            return std::nullopt;
        }
    }
    PasvAddress address;
    address.host = QStringLiteral("%1.%2.%3.%4")
                       .arg(numbers[0])
                       .arg(numbers[1])
                       .arg(numbers[2])
                       .arg(numbers[3]);
    address.port = static_cast<quint16>(numbers[4] * 256 + numbers[5]);
    return address;
}

QString PortCommand(const QString& ipv4, quint16 port) {
    QString host = ipv4;
    host.replace('.', ',');
    return QStringLiteral("PORT %1,%2,%3").arg(host).arg(port >> 8).arg(port & 0xff);
}

QString ProxyUserName(const QString& user, const QString& host, const QString& port) {
    QString name = user + "@" + host;
    if (port != "ftp" && port != "21") {
        name += ":" + port;
    }
    return name;
}

quint16 FtpPortNumber(const QString& port) {
    if (port.trimmed().compare("ftp", Qt::CaseInsensitive) == 0) {
        return 21;
    }
    bool ok = false;
    const uint value = port.trimmed().toUInt(&ok);
    return ok && value <= 65535 ? static_cast<quint16>(value) : 0;
}

QString CommandEcho(const QString& command) {
    if (command.startsWith("PASS ", Qt::CaseInsensitive) ||
        command.compare("PASS", Qt::CaseInsensitive) == 0) {
        return "> PASS ****";
    }
    return "> " + command;
}

QString TransferSummary(qint64 bytes, bool received, qint64 elapsedMs) {
    const qint64 ms = std::max<qint64>(elapsedMs, 1);
    const qint64 rate = bytes * 1000 / ms;
    const QString duration = elapsedMs < 10000 ? QString::number(elapsedMs) + " milliseconds"
                                               : QString::number(elapsedMs / 1000) + " seconds";
    return "! " + QString::number(bytes) + (received ? " bytes received in " : " bytes sent in ") +
           duration + " (" + QString::number(rate) + " Bytes/sec)";
}

QString DirectoryFrom257(const QString& reply) {
    const qsizetype open = reply.indexOf('"');
    if (open < 0) {
        return QString();
    }
    QString dir;
    for (qsizetype i = open + 1; i < reply.size(); ++i) {
        if (reply[i] == '"') {
            if (i + 1 < reply.size() && reply[i + 1] == '"') {
                dir += '"';
                ++i;
                continue;
            }
            return dir;
        }
        dir += reply[i];
    }
    return dir;
}

namespace {

bool HasListingFacts(const QStringList& facts) {
    return facts.contains(u"type") && facts.contains(u"size") && facts.contains(u"modify");
}

}  // namespace

bool FtpFeatures::MachineListings() const {
    return mlst && HasListingFacts(mlstFacts);
}

bool FtpFeatures::ListingFactsInUse() const {
    return mlst && HasListingFacts(factsInUse);
}

FtpFeatures ParseFeatReply(const QStringList& lines) {
    FtpFeatures features;
    for (const QString& line : lines) {
        // Feature lines start with a blank; the reply's own lines start with the code.
        if (!line.startsWith(u' ')) {
            continue;
        }
        const QString trimmed = line.trimmed();
        const qsizetype blank = trimmed.indexOf(u' ');
        const QString name = trimmed.left(blank < 0 ? trimmed.size() : blank).toUpper();
        if (name == u"MDTM") {
            features.mdtm = true;
        } else if (name == u"MFMT") {
            features.mfmt = true;
        } else if (name == u"MLST") {
            features.mlst = true;
            const QString facts = blank < 0 ? QString() : trimmed.mid(blank + 1);
            for (QString fact : facts.split(u';', Qt::SkipEmptyParts)) {
                fact = fact.trimmed().toLower();
                const bool inUse = fact.endsWith(u'*');
                if (inUse) {
                    fact.chop(1);
                }
                if (fact.isEmpty()) {
                    continue;
                }
                features.mlstFacts << fact;
                if (inUse) {
                    features.factsInUse << fact;
                }
            }
        }
    }
    return features;
}

QString MlstOptionsCommand(const FtpFeatures& features) {
    static const char16_t* const wanted[] = {u"type", u"size", u"modify", u"unix.mode", u"perm"};
    QString facts;
    int inUse = 0;
    bool missing = false;
    for (const char16_t* fact : wanted) {
        const QString name = QString::fromUtf16(fact);
        if (features.mlstFacts.contains(name)) {
            facts += (name == u"unix.mode" ? QStringLiteral("UNIX.mode") : name) + u';';
            if (features.factsInUse.contains(name)) {
                ++inUse;
            } else {
                missing = true;
            }
        }
    }
    // Asked for when a wanted fact is off, or when facts nobody reads would fill every line.
    const bool extra = features.factsInUse.size() > inUse;
    return missing || extra ? QStringLiteral("OPTS MLST ") + facts : QString();
}
