#include "procmail/procmail_lock.h"

#include <QFileInfo>
#include <QRegularExpression>

#include "config/scrambling.h"

namespace {

const QString kLockPrefix = QStringLiteral("zprocmail.");
constexpr int kLockNameLength = 27;

QString Scramble(const QString& text) {
    using namespace scrambling;
    // An empty identity still makes a word ("=" decodes to nothing), so the line keeps two.
    const QByteArray word = Base64Encode(StrCryptXOR("E", kLockFileKey, text.toUtf8()));
    return word.isEmpty() ? QStringLiteral("=") : QString::fromLatin1(word);
}

QString Unscramble(const QString& text) {
    using namespace scrambling;
    return QString::fromUtf8(StrCryptXOR("D", kLockFileKey, Base64Decode(text.toLatin1())));
}

QStringList Words(const QString& line) {
    return line.split(' ', Qt::SkipEmptyParts);
}

}  // namespace

QString LockFileName(const QDateTime& at) {
    return kLockPrefix + at.toString("yyyyMMdd") + at.toString("hhmmsszzz");
}

bool IsLockFileName(const QString& name) {
    return name.size() == kLockNameLength && name.contains(kLockPrefix);
}

QString LockTimeText(const QString& n) {
    return n.mid(18, 2) + ":" + n.mid(20, 2) + " on " + " " + n.mid(10, 4) + "-" + n.mid(14, 2) +
           "-" + n.mid(16, 2);
}

QString LockMessage(const QString& lockName) {
    return "Procmail recipe has been locked since " + LockTimeText(lockName) + "\r\n" +
           "If you think it is locked in error you should delete the following file from the "
           "home directory:" +
           "\r\n\r\n" + lockName + "\r\n";
}

QString LockContent(const LockOwner& owner) {
    return Scramble(owner.user) + " " + Scramble(owner.machine);
}

std::optional<LockOwner> ParseLockContent(const QString& line) {
    const QStringList words = Words(line);
    if (words.size() < 2) {
        return std::nullopt;
    }
    return LockOwner{Unscramble(words[0]), Unscramble(words[1])};
}

QString NewRevisionLine(int revision, const QDateTime& at, const QString& version,
                        const QString& previous) {
    return "# Last revision " + QString::number(revision) + " generated " +
           at.toString("yyyy-MM-dd") + " " + at.toString("hh:mm:ss") + " by Vorlen FTP version " +
           version + ", Previously " + previous;
}

RevisionInfo ParseRevisionLine(const QString& line) {
    const QStringList words = Words(line);
    RevisionInfo info;
    if (words.size() < 3 || words[2].toUpper() != "REVISION") {
        return info;
    }
    QString digits;
    for (const QChar c : words.value(3)) {
        if (c >= '0' && c <= '9') {
            digits += c;
        }
    }
    // A number too long for an int restarts the count rather than wrapping.
    bool ok = false;
    info.revision = digits.toInt(&ok);
    if (!ok) {
        info.revision = 0;
    }
    info.previous = words.mid(4, 6).join(' ');
    if (info.previous.endsWith(',')) {
        info.previous.chop(1);
    }
    return info;
}

bool IsRegenerationFile(const QString& name) {
    // A revision number of up to nine digits ("procmail5.txt" is thirteen characters long, so a
    // length limit of the whole name would refuse every description).
    static const QRegularExpression mdl(QStringLiteral("^procmail[0-9]{1,9}\\.txt$"));
    return name == kRecipeName || mdl.match(name).hasMatch();
}

bool IsRegenerationSelection(const QString& name) {
    const QString lower = name.toLower();
    return (lower.contains("procmail") && lower.contains(".txt")) || lower.contains(".procmailrc");
}

bool UploadSizeMatches(qint64 localSize, qint64 remoteSize, qint64 lineFeeds,
                       qint64 carriageReturns) {
    return remoteSize == localSize || remoteSize == localSize + lineFeeds ||
           remoteSize == localSize - carriageReturns;
}
