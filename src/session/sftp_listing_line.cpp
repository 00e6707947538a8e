#include <QDateTime>
#include <QStringList>

#include "session/sftp_connection.h"

namespace {

QString ModeText(std::optional<quint32> permissions) {
    if (!permissions) {
        return QStringLiteral("----------");
    }
    const quint32 mode = *permissions;
    QString text(10, QLatin1Char('-'));
    switch (mode & 0170000) {
        case 0040000:
            text[0] = QLatin1Char('d');
            break;
        case 0120000:
            text[0] = QLatin1Char('l');
            break;
        case 0020000:
            text[0] = QLatin1Char('c');
            break;
        case 0060000:
            text[0] = QLatin1Char('b');
            break;
        case 0010000:
            text[0] = QLatin1Char('p');
            break;
        case 0140000:
            text[0] = QLatin1Char('s');
            break;
        default:
            break;
    }
    const char* letters = "rwxrwxrwx";
    for (int i = 0; i < 9; ++i) {
        if (mode & (0400u >> i)) {
            text[i + 1] = QLatin1Char(letters[i]);
        }
    }
    // set-user-id, set-group-id and sticky share the execute column, in ls's letters.
    auto special = [&](int column, quint32 bit, char withExec, char withoutExec) {
        if (mode & bit) {
            text[column] = QLatin1Char(text[column] == QLatin1Char('-') ? withoutExec : withExec);
        }
    };
    special(3, 04000, 's', 'S');
    special(6, 02000, 's', 'S');
    special(9, 01000, 't', 'T');
    return text;
}

QString SafeName(const QString& name) {
    QString safe = name;
    for (QChar& c : safe) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || c.category() == QChar::Other_Control) {
            c = QLatin1Char('?');
        }
    }
    return safe;
}

}  // namespace

QString SftpListingLine(const SftpNameEntry& entry, qint64 nowSecondsSinceEpoch) {
    // SFTP 3 carries numbers for owner and group; the server's own line has the names (and the
    // link count), so those are taken from it when it has the usual shape.
    QString links = QStringLiteral("1");
    QString owner =
        entry.attributes.uid ? QString::number(*entry.attributes.uid) : QStringLiteral("0");
    QString group =
        entry.attributes.gid ? QString::number(*entry.attributes.gid) : QStringLiteral("0");
    const QStringList fields = entry.longname.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (fields.size() >= 5 && fields[0].size() >= 10) {
        bool numeric = false;
        fields[1].toUInt(&numeric);
        if (numeric) {
            links = fields[1];
            owner = fields[2];
            group = fields[3];
        }
    }

    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const qint64 mtime = entry.attributes.modificationTime.value_or(0);
    const QDateTime when = QDateTime::fromSecsSinceEpoch(mtime);
    const QDate date = when.date();
    QString dateText = QStringLiteral("%1 %2 ")
                           .arg(QLatin1String(kMonths[date.month() - 1]))
                           .arg(date.day(), 2, 10, QLatin1Char('0'));
    constexpr qint64 kSixMonths = 182LL * 24 * 3600;
    if (qAbs(nowSecondsSinceEpoch - mtime) > kSixMonths) {
        dateText += QStringLiteral(" %1").arg(date.year());
    } else {
        dateText += when.time().toString(QStringLiteral("HH:mm"));
    }

    // Built by concatenation: a name or owner may itself contain "%1".
    const QLatin1Char blank(' ');
    return ModeText(entry.attributes.permissions) + blank + links.rightJustified(4) + blank +
           owner.leftJustified(8) + blank + group.leftJustified(8) + blank +
           QString::number(entry.attributes.size.value_or(0)).rightJustified(12) + blank +
           dateText + blank + SafeName(entry.filename);
}
