#include "procmail/procmail_extract.h"

#include <QFile>
#include <QFileInfo>

#include "procmail/procmail_lock.h"
#include "runtime/user_interface.h"
#include "textio/text_files.h"

int CreateProcmailExtract(UserInterface& ui, const QString& path, const QDateTime& now,
                          const QString& version) {
    const bool recipe = path.contains(kRecipeName);
    TextFiles files(ui);
    if (!QFileInfo(path).isFile()) {
        ui.ColorMsgDlg("Error - Could not open for read the file " + path, MsgDlgType::Error,
                       MsgDlgBtn::OK);
        return -1;
    }
    if (!files.TextFileIn(path, "OPEN")) {
        return -1;
    }
    int revision = -1;
    QString output;
    bool firstLine = true;
    while (!files.TextFileIn(path, "EOF")) {
        files.TextFileIn(path, "GET");
        QString line = files.InRecord;
        if (line.size() < 4) {
            continue;
        }
        const bool described = line.startsWith("#..");
        if (described) {
            line.remove(0, 3);
        }
        if (firstLine) {
            firstLine = false;
            const RevisionInfo info = ParseRevisionLine(line);
            revision = std::max(info.revision, 0);
            if (!recipe) {
                break;
            }
            ++revision;
            output =
                QFileInfo(path).absolutePath() + "/procmail" + QString::number(revision) + ".txt";
            QFile::remove(output);
            if (!files.TextFileOut(output, "OPEN")) {
                ui.ColorMsgDlg("Error - Could not open file " + output, MsgDlgType::Error,
                               MsgDlgBtn::OK);
                files.TextFileIn(path, "CLOSE");
                return -1;
            }
            files.OutRecord = NewRevisionLine(revision, now, version, info.previous);
            if (!files.TextFileOut(output, "PUT")) {
                ui.Warning("Error writing to " + output);
            }
            // A described first line that is no revision line is part of the description.
            if (info.revision >= 0 || !described) {
                continue;
            }
        } else if (recipe && !described) {
            continue;
        }
        files.OutRecord = line;
        if (!files.TextFileOut(output, "PUT")) {
            ui.Warning("Error writing to " + output);
        }
    }
    if (!files.TextFileIn(path, "CLOSE")) {
        ui.Warning("Error closing input file");
    }
    if (recipe && !output.isEmpty() && !files.TextFileOut(output, "CLOSE")) {
        ui.Warning("Error closing output file");
    }
    if (recipe && output.isEmpty()) {
        // An empty recipe still gets its first extract, holding the revision line alone.
        revision = 1;
        output = QFileInfo(path).absolutePath() + "/procmail1.txt";
        QFile::remove(output);
        if (!files.TextFileOut(output, "OPEN")) {
            ui.ColorMsgDlg("Error - Could not open file " + output, MsgDlgType::Error,
                           MsgDlgBtn::OK);
            return -1;
        }
        files.OutRecord = NewRevisionLine(revision, now, version, QString());
        files.TextFileOut(output, "PUT");
        files.TextFileOut(output, "CLOSE");
    }
    return revision;
}
