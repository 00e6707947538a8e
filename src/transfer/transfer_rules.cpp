#include "transfer/transfer_rules.h"

#include <algorithm>

#include "config/words.h"

bool SeeIfAscii(const QString& fileName, const QString& asciiFiletypes) {
    const QString list = '|' + asciiFiletypes.toLower() + '|';
    QString rest = fileName.toLower();
    for (;;) {
        if (!rest.isEmpty() && list.contains('|' + rest + '|')) {
            return true;
        }
        const qsizetype dot = rest.indexOf('.');
        if (dot < 0) {
            return false;
        }
        rest = rest.mid(dot + 1);
    }
}

int AdjustedBlockSize(const QString& recordFormat, int recordLength, int blockSize) {
    if (blockSize <= 0) {
        return blockSize;
    }
    const QString format = recordFormat.toUpper();
    if (format.contains('V') && !format.contains('S')) {
        return std::max(blockSize, recordLength + 4);
    }
    if (recordLength > 0 && blockSize % recordLength != 0 && format.contains('F')) {
        return 0;
    }
    return blockSize;
}

QStringList AllocationCommands(const AllocationAttributes& a) {
    QStringList lines;
    if (a.primary > 0) {
        lines << QStringLiteral("SITE %1 PRI=%2 SEC=%3")
                     .arg(a.unitIndex == 1 ? "TRACK" : "CYLINDER")
                     .arg(a.primary)
                     .arg(a.secondary);
    }
    if (!a.recordFormat.trimmed().isEmpty()) {
        lines << "SITE RECFM=" + a.recordFormat.trimmed();
    }
    if (a.recordLength >= 1) {
        lines << QStringLiteral("SITE LRECL=%1").arg(a.recordLength);
        lines << QStringLiteral("SITE BLOCKSIZE=%1")
                     .arg(AdjustedBlockSize(a.recordFormat, a.recordLength, a.blockSize));
    }
    return lines;
}

TransferProgressText DescribeTransferProgress(const QString& direction, const QString& file,
                                              qint64 total, qint64 done, double elapsedMs,
                                              bool possibly) {
    TransferProgressText text;
    const QString sizes =
        GroupThousands(done) + (possibly ? " of possibly " : " of ") + GroupThousands(total);
    QString percentage = " (0%)";
    QString rate;
    if (total > 0) {
        text.percent = int(std::min<qint64>(100, done * 100 / total));
        percentage = QStringLiteral(" (%1%)").arg(text.percent);
        if (elapsedMs <= 1000) {
            text.duration = "00:00";
        } else {
            qint64 seconds = qint64(elapsedMs / 1000);
            if (seconds > 86400) {
                seconds -= 86400;
            }
            text.duration =
                QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QChar('0'));
            rate = QStringLiteral(", %1 bytes/second.").arg(done / std::max<qint64>(seconds, 1));
        }
    }
    text.status = ' ' + direction + "loading " + file + ' ' + sizes + percentage + rate;
    return text;
}

TransferProgressText DescribeBatchProgress(bool upload, int filesDone, int files, qint64 done,
                                           qint64 total, double elapsedMs) {
    TransferProgressText text;
    done = std::clamp<qint64>(done, 0, std::max<qint64>(total, 0));
    text.percent = total > 0 ? int(done * 100 / total) : (files > 0 ? filesDone * 100 / files : 0);
    text.status = QStringLiteral(" %1 %2 of %3 files, %4 of %5 bytes (%6%)")
                      .arg(upload ? "Uploaded" : "Downloaded")
                      .arg(filesDone)
                      .arg(files)
                      .arg(GroupThousands(done), GroupThousands(total))
                      .arg(text.percent);
    const qint64 seconds = qint64(elapsedMs / 1000);
    text.duration = QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QChar('0'));
    if (seconds >= 1 && done > 0) {
        const qint64 rate = std::max<qint64>(1, qint64(double(done) * 1000 / elapsedMs));
        const qint64 left = (total - done + rate - 1) / rate;
        text.status += QStringLiteral(", %1 bytes/second, %2:%3 left")
                           .arg(GroupThousands(rate))
                           .arg(left / 60)
                           .arg(left % 60, 2, 10, QChar('0'));
    }
    return text;
}

QString CompletedSizes(qint64 total, bool possibly) {
    return GroupThousands(total) + (possibly ? " of possibly " : " of ") + GroupThousands(total) +
           " bytes (100%)";
}

PermissionBoxes InitialPermissionBoxes(const QString& permissionText) {
    if (permissionText.size() <= 9) {
        return {true, true, true, false, false, false, true, false, true};  // 705
    }
    PermissionBoxes boxes{};
    static const char kLetters[] = {'R', 'W', 'X'};
    for (int i = 0; i < 9; ++i) {
        boxes[i] = permissionText.at(i + 1).toUpper() == QChar(kLetters[i % 3]);
    }
    return boxes;
}

QString PermissionTextFromBoxes(const PermissionBoxes& boxes) {
    QString text;
    for (int i = 0; i < 9; ++i) {
        text += boxes[i] ? QChar("rwx"[i % 3]) : QChar('-');
    }
    return text;
}

QString OctalFromBoxes(const PermissionBoxes& boxes) {
    QString octal;
    for (int who = 0; who < 3; ++who) {
        const int digit = 4 * boxes[who * 3] + 2 * boxes[who * 3 + 1] + boxes[who * 3 + 2];
        octal += QChar('0' + digit);
    }
    return octal;
}

QString PermissionTriple(QChar digit) {
    static const char* const kTriples[] = {"---", "--x", "-w-", "-wx", "r--", "r-x", "rw-", "rwx"};
    const int value = digit.unicode() - '0';
    return QString::fromLatin1(value >= 0 && value <= 7 ? kTriples[value] : "---");
}

QString PermissionTextFromOctal(const QString& octal) {
    QString text;
    for (int i = 0; i < 3; ++i) {
        text += PermissionTriple(i < octal.size() ? octal.at(i) : QChar('0'));
    }
    return text;
}

int ModeFromOctal(const QString& octal) {
    int mode = 0;
    for (int i = 0; i < 3 && i < octal.size(); ++i) {
        mode = mode * 8 + std::clamp(octal.at(i).unicode() - '0', 0, 7);
    }
    return mode;
}

QString RemoteDeletePath(bool zosMode, const QString& dir, const QString& name) {
    if (!zosMode) {
        return JoinRemotePath(false, dir, name);
    }
    const QString bare = NoMVSQuotes(true, dir);
    const QString path = bare.isEmpty() ? name : JoinRemotePath(true, bare, name);
    return '\'' + path + '\'';
}
