#include "transfer/synchroniser.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include "config/words.h"
#include "listing/remote_listing.h"
#include "panes/local_pane.h"
#include "panes/remote_pane.h"
#include "runtime/busy_scope.h"
#include "runtime/run_state.h"
#include "runtime/settings_store.h"
#include "runtime/user_interface.h"
#include "session/session.h"
#include "transfer/batch_sender.h"
#include "transfer/transfers.h"

namespace {

// "yyyy-MM-dd HH:mm" as the listing shows it, read as this machine's time; a listing that
// shows only the date (old files) is good to a day only.
SyncEntry RemoteFile(const QString& path, const RemoteEntry& e) {
    const QString text = e.modified.simplified();
    SyncEntry entry{path, false, e.size, QDateTime::fromString(text, "yyyy-MM-dd HH:mm"), 60};
    if (!entry.time.isValid()) {
        entry.time = QDateTime(QDate::fromString(text, "yyyy-MM-dd"), QTime(0, 0));
        entry.resolution = 24 * 3600;
    }
    return entry;
}

QString Describe(qint64 size, const QDateTime& time, bool present, bool dir) {
    if (!present) {
        return {};
    }
    if (dir) {
        return "folder";
    }
    return GroupThousands(size) + " bytes" +
           (time.isValid() ? ", " + time.toString("yyyy-MM-dd HH:mm") : QString());
}

QString KindText(SyncKind kind) {
    switch (kind) {
        case SyncKind::OnlyHere:
            return "Only here";
        case SyncKind::OnlyThere:
            return "Only on the server";
        case SyncKind::NewerHere:
            return "Newer here";
        case SyncKind::NewerThere:
            return "Newer on the server";
        case SyncKind::SameSizeDifferentTime:
            return "Same size, different time";
        case SyncKind::FileAndFolder:
            return "File and folder: left alone";
        case SyncKind::CaseOnly:
            return "Differs in case only: left alone";
        case SyncKind::Same:
            break;
    }
    return "Same";
}

QString PlanText(const std::vector<SyncStep>& steps, bool upload) {
    int send = 0;
    int remove = 0;
    qint64 bytes = 0;
    for (const SyncStep& s : steps) {
        if (s.action == SyncAction::Send) {
            ++send;
            bytes += s.size;
        } else if (s.action == SyncAction::Delete) {
            ++remove;
        }
    }
    QString text = QStringLiteral("%1 file%2 to %3 (%4 bytes)")
                       .arg(send)
                       .arg(send == 1 ? "" : "s")
                       .arg(upload ? "upload" : "download", GroupThousands(bytes));
    if (remove > 0) {
        text +=
            QStringLiteral(", %1 to delete %2").arg(remove).arg(upload ? "on the server" : "here");
    }
    return text;
}

}  // namespace

Synchroniser::Synchroniser(SettingsStore& store, RunState& run, UserInterface& ui, Session& session,
                           RemotePane& pane, LocalPane& local, Transfers& transfers,
                           BatchSender& batches)
    : m_store(store),
      m_run(run),
      m_ui(ui),
      m_session(session),
      m_pane(pane),
      m_local(local),
      m_transfers(transfers),
      m_batches(batches) {}

std::vector<SyncEntry> Synchroniser::LocalTree(const QString& top) const {
    std::vector<SyncEntry> entries;
    // Links are neither followed nor sent: a link loop would never end, and a link's target
    // may lie outside the site.
    QDirIterator it(top, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    const QDir base(top);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (info.isSymLink() || (!info.isDir() && !info.isFile())) {
            continue;
        }
        entries.push_back({base.relativeFilePath(info.filePath()), info.isDir(),
                           info.isDir() ? 0 : info.size(), info.lastModified(), 0});
    }
    return entries;
}

bool Synchroniser::RemoteTree(const QString& top, std::vector<SyncEntry>& entries) {
    const int mark = m_run.cancel.Mark();
    const bool zos = m_session.Zos();
    // A file with only a listed time, to learn how far the listing's clock is off.
    struct Probe {
        QString dir;
        QString name;
        size_t index = 0;
    };
    std::optional<Probe> probe;
    std::vector<QString> work = {QString()};  // relative folders still to list, breadth first
    for (size_t next = 0; next < work.size(); ++next) {
        const QString relative = work[next];
        const QString dir = relative.isEmpty() ? top : JoinRemotePath(zos, top, relative);
        if (m_run.cancel.CancelledSince(mark) || !m_session.CheckConnection()) {
            return false;
        }
        if (!m_pane.EnterRemoteDirectory(dir, true)) {
            m_ui.LogText("Could not read the remote folder " + dir);
            return false;
        }
        auto path = [&](const QString& name) {
            return relative.isEmpty() ? name : relative + '/' + name;
        };
        const QHash<QString, QDateTime> exact = m_session.Remote()->ListedTimes();
        for (const RemoteEntry& e : m_pane.listing.files) {
            if (!e.permissions.startsWith('l')) {  // links are never followed
                entries.push_back(RemoteFile(path(e.name), e));
                if (const auto it = exact.find(e.name); it != exact.end()) {
                    entries.back().time = it.value();
                    entries.back().resolution = 0;
                } else if (!probe && entries.back().resolution == 60) {
                    probe = Probe{dir, e.name, entries.size() - 1};
                }
            }
        }
        for (const RemoteEntry& e : m_pane.listing.dirs) {
            if (!e.permissions.startsWith('l') && e.name != "." && e.name != "..") {
                entries.push_back({path(e.name), true, 0, {}, 0});
                work.push_back(path(e.name));
            }
        }
    }
    if (probe) {
        CorrectListedTimes(probe->dir, probe->name, probe->index, entries);
    }
    return true;
}

void Synchroniser::CorrectListedTimes(const QString& dir, const QString& name, size_t index,
                                      std::vector<SyncEntry>& entries) {
    // A listing shows the server's clock in whatever zone it keeps (vsftpd: UTC); read as this
    // machine's time it can be hours off, and every file would look changed. One exact time
    // (MDTM) against the same file's listed time tells by how much.
    const QDateTime exact = m_session.Remote()->ModificationTime(dir, name);
    if (!exact.isValid()) {
        return;
    }
    const std::optional<qint64> offset =
        ListingOffset(exact.toSecsSinceEpoch() - entries[index].time.toSecsSinceEpoch());
    if (!offset || *offset == 0) {
        return;
    }
    m_ui.LogText(QStringLiteral("The server lists times %1 minutes %2 its exact ones: corrected")
                     .arg(std::abs(*offset) / 60)
                     .arg(*offset > 0 ? "behind" : "ahead of"));
    for (SyncEntry& e : entries) {
        if (!e.dir && e.resolution > 0 && e.time.isValid()) {
            e.time = e.time.addSecs(*offset);
        }
    }
}

bool Synchroniser::Compare(std::vector<SyncItem>& items) {
    const QString localTop = m_local.CurrentDir();
    const QString remoteTop = m_session.currentRemoteDir;
    m_ui.StatusBarGeneral(" Comparing " + localTop + " with " + remoteTop);
    m_session.ShowAbortButton("Cancel");
    std::vector<SyncEntry> remote;
    const bool read = RemoteTree(remoteTop, remote);
    m_session.HideAbortButton();
    if (m_session.Connected() &&
        NormalisedRemoteDir(m_session.Zos(), remoteTop) !=
            NormalisedRemoteDir(m_session.Zos(), m_session.currentRemoteDir)) {
        m_pane.EnterRemoteDirectory(remoteTop);
    }
    if (!read) {
        m_ui.LogText("Synchronise stopped: the remote folder " + remoteTop +
                     " could not be read whole");
        return false;
    }
    items = CompareTrees(LocalTree(localTop), std::move(remote));
    m_ui.LogText("Compared " + localTop + " with " + remoteTop + ": " +
                 DescribeSync(CountSync(items)));
    return true;
}

bool Synchroniser::Step(const SyncStep& step, bool upload, const QString& localTop,
                        const QString& remoteTop, Outcome& outcome) {
    const bool zos = m_session.Zos();
    const QString localPath = QDir(localTop).filePath(step.path);
    const qsizetype cut = step.path.lastIndexOf('/');
    const QString name = step.path.mid(cut + 1);
    const QString remoteDir =
        cut < 0 ? remoteTop : JoinRemotePath(zos, remoteTop, step.path.left(cut));
    const QString remotePath = JoinRemotePath(zos, remoteDir, name);
    RemoteSession& remote = *m_session.Remote();
    bool ok = false;
    switch (step.action) {
        case SyncAction::MakeFolder:
            if (upload) {
                m_session.requestErrorList.clear();
                ok = remote.MakeDirectory(remotePath).Ok();
            } else {
                ok = QDir().mkpath(localPath);
            }
            m_ui.LogText((ok ? "Created the folder " : "Could not create the folder ") +
                         (upload ? remotePath : localPath));
            outcome.madeFolders += ok ? 1 : 0;
            break;
        case SyncAction::Send: {
            if (NormalisedRemoteDir(zos, m_session.currentRemoteDir) !=
                    NormalisedRemoteDir(zos, remoteDir) &&
                !m_pane.EnterRemoteDirectory(remoteDir)) {
                m_ui.LogText("Could not enter the remote folder " + remoteDir + " for " + name);
                break;
            }
            m_ui.SetResumeTicked(false);  // the target is replaced whole
            m_transfers.transferSize = step.size;
            // Byte for byte: a text file converted on the way would differ in size on every
            // later comparison (a server that stores CR LF), and be sent again each time.
            m_transfers.SetXferModeBinary();
            if (upload) {
                m_transfers.UploadFileKeepingCase(name, localPath, true);
            } else {
                m_transfers.DownloadFile(name, localPath, remoteDir);
            }
            ok = m_transfers.lastTransferOk;
            if (ok && step.time.isValid()) {
                // The copy takes the source's time, so the next comparison finds them equal.
                if (upload) {
                    remote.SetModificationTime(remoteDir, name, step.time);
                } else {
                    QFile file(localPath);
                    const QDateTime exact = remote.ModificationTime(remoteDir, name);
                    if (file.open(QIODevice::ReadWrite)) {
                        file.setFileTime(exact.isValid() ? exact : step.time,
                                         QFileDevice::FileModificationTime);
                    }
                }
            }
            m_ui.LogText((ok ? (upload ? "Uploaded " : "Downloaded ")
                             : (upload ? "Could not upload " : "Could not download ")) +
                         step.path);
            outcome.sent += ok ? 1 : 0;
            break;
        }
        case SyncAction::Delete:
            if (upload) {
                m_session.requestErrorList.clear();
                ok = remote.Delete(remoteDir, name, remotePath, !step.dir).Ok();
            } else {
                ok = step.dir ? QDir().rmdir(localPath) : QFile::remove(localPath);
            }
            m_ui.LogText((ok ? "Deleted " : "Could not delete ") + step.path +
                         (upload ? " on the server" : " here"));
            outcome.deleted += ok ? 1 : 0;
            break;
    }
    outcome.failed += ok ? 0 : 1;
    return ok;
}

Synchroniser::Outcome Synchroniser::Run(const std::vector<SyncStep>& steps, bool upload) {
    Outcome outcome;
    const QString localTop = m_local.CurrentDir();
    const QString remoteTop = m_session.currentRemoteDir;
    const int mark = m_run.cancel.Mark();
    const BusyScope busy(m_ui, &m_run.batchTransferRunning);
    // Folders first, then the files (several at once where the protocol allows), then what goes.
    std::vector<SyncStep> folders;
    std::vector<SyncStep> sends;
    std::vector<SyncStep> deletes;
    for (const SyncStep& step : steps) {
        (step.action == SyncAction::MakeFolder ? folders
         : step.action == SyncAction::Send     ? sends
                                               : deletes)
            .push_back(step);
    }
    auto oneByOne = [&](const std::vector<SyncStep>& list) {
        for (const SyncStep& step : list) {
            if (m_run.cancel.CancelledSince(mark)) {
                outcome.cancelled = true;
                return false;
            }
            if (!m_session.CheckConnection()) {
                m_session.NotifyUserConnectionLost();
                outcome.cancelled = true;
                return false;
            }
            Step(step, upload, localTop, remoteTop, outcome);
        }
        return true;
    };
    if (oneByOne(folders) && !m_run.cancel.CancelledSince(mark) &&
        oneByOne(SendTogether(sends, upload, localTop, remoteTop, outcome))) {
        oneByOne(deletes);
    }
    outcome.cancelled = outcome.cancelled || m_run.cancel.CancelledSince(mark);
    if (m_session.Connected() && NormalisedRemoteDir(m_session.Zos(), m_session.currentRemoteDir) !=
                                     NormalisedRemoteDir(m_session.Zos(), remoteTop)) {
        m_pane.EnterRemoteDirectory(remoteTop);
    } else if (m_session.Connected()) {
        m_pane.RefreshRemoteDirectoryList();
    }
    m_local.RefreshLocal();
    const QString summary =
        QStringLiteral("Synchronised %1 %2 %3: %4 %5, %6 deleted, %7 folders created, %8 failed")
            .arg(upload ? localTop : remoteTop, upload ? "onto" : "into",
                 upload ? remoteTop : localTop)
            .arg(outcome.sent)
            .arg(upload ? "uploaded" : "downloaded")
            .arg(outcome.deleted)
            .arg(outcome.madeFolders)
            .arg(outcome.failed) +
        (outcome.cancelled ? " (stopped before the end)" : "");
    m_ui.LogText(summary);
    m_ui.StatusBarGeneral(" " + summary);
    return outcome;
}

std::vector<SyncStep> Synchroniser::SendTogether(const std::vector<SyncStep>& sends, bool upload,
                                                 const QString& localTop, const QString& remoteTop,
                                                 Outcome& outcome) {
    if (m_batches.Width(int(sends.size())) < 2) {
        return sends;
    }
    // Byte for byte, with the source's time (see Step).
    std::vector<BatchJob> jobs;
    for (size_t i = 0; i < sends.size(); ++i) {
        const SyncStep& s = sends[i];
        jobs.push_back({upload, JoinRemotePath(false, remoteTop, s.path),
                        QDir(localTop).filePath(s.path), s.size, s.time, false, int(i)});
    }
    auto stepOf = [&](const BatchJob& job) { return sends[size_t(job.tag)]; };
    const std::vector<BatchJob> left =
        m_batches.Send(jobs, [&](const BatchJob& job, bool ok, const QString& text) {
            m_ui.LogText((ok ? (upload ? "Uploaded " : "Downloaded ")
                             : (upload ? "Could not upload " : "Could not download ")) +
                         stepOf(job).path + (ok || text.isEmpty() ? QString() : ": " + text));
            (ok ? outcome.sent : outcome.failed) += 1;
        });
    std::vector<SyncStep> rest;
    for (const BatchJob& job : left) {
        rest.push_back(stepOf(job));
    }
    return rest;
}

Synchroniser::Outcome Synchroniser::Synchronise(bool upload, bool deleteExtra) {
    std::vector<SyncItem> items;
    if (!Compare(items)) {
        Outcome failed;
        failed.failed = 1;
        return failed;
    }
    return Run(PlanSync(items, upload, deleteExtra), upload);
}

void Synchroniser::SynchroniseClick() {
    if (m_run.batchTransferRunning || m_run.scriptRunning) {
        return;
    }
    if (m_session.RedLightDisconnectedState()) {
        m_ui.ShowColorMsg("Please try again after a connection is established.");
        return;
    }
    std::vector<SyncItem> items;
    {
        const BusyScope busy(m_ui);
        if (!Compare(items)) {
            m_ui.ShowColorMsg("The remote folder could not be read whole: nothing was changed.");
            return;
        }
    }
    SyncQuestion question;
    question.localDir = m_local.CurrentDir();
    question.remoteDir = m_session.currentRemoteDir;
    question.summary = DescribeSync(CountSync(items));
    for (const SyncItem& i : items) {
        if (i.kind == SyncKind::Same) {
            continue;
        }
        const bool here = i.kind != SyncKind::OnlyThere;
        const bool there = i.kind != SyncKind::OnlyHere;
        question.rows.append({KindText(i.kind), i.path,
                              Describe(i.localSize, i.localTime, here, i.dir),
                              Describe(i.remoteSize, i.remoteTime, there, i.dir)});
    }
    question.planText = [&items](bool upload, bool deleteExtra) {
        return PlanText(PlanSync(items, upload, deleteExtra), upload);
    };
    const SyncAnswer answer = m_ui.AskSynchronise(question);
    if (!answer.run) {
        return;
    }
    const std::vector<SyncStep> steps = PlanSync(items, answer.upload, answer.deleteExtra);
    const auto deletes = std::count_if(steps.begin(), steps.end(), [](const SyncStep& s) {
        return s.action == SyncAction::Delete;
    });
    if (deletes > 0 && !m_ui.ConfirmYesNo(QStringLiteral("Delete %1 item%2 that exist%3 only %4?")
                                              .arg(deletes)
                                              .arg(deletes == 1 ? "" : "s")
                                              .arg(deletes == 1 ? "s" : "")
                                              .arg(answer.upload ? "on the server" : "here"))) {
        return;
    }
    Run(steps, answer.upload);
}
