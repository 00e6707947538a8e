#include "transfer/batch_sender.h"

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>

#include "runtime/run_state.h"
#include "runtime/settings_store.h"
#include "runtime/user_interface.h"
#include "session/ftp_session.h"
#include "session/ftp_workers.h"
#include "session/session.h"
#include "session/sftp_session.h"
#include "transfer/transfer_rules.h"

BatchSender::BatchSender(SettingsStore& store, RunState& run, UserInterface& ui, Session& session)
    : m_store(store), m_run(run), m_ui(ui), m_session(session) {}

int BatchSender::Width(int count) const {
    RemoteSession* remote = m_session.Remote();
    // z/OS datasets keep their one-by-one rules (allocation, record formats, estimates).
    if (remote == nullptr || !remote->Connected() || m_session.Zos() ||
        (dynamic_cast<FtpSession*>(remote) == nullptr &&
         dynamic_cast<SftpSession*>(remote) == nullptr)) {
        return 1;
    }
    return std::max(1, std::min(m_store.settings.common.simultaneousTransfers, count));
}

std::vector<BatchJob> BatchSender::Send(const std::vector<BatchJob>& jobs, const Ended& ended) {
    const int width = Width(int(jobs.size()));
    if (width < 2) {
        return jobs;
    }
    const bool upload = jobs.front().upload;
    qint64 total = 0;
    for (const BatchJob& j : jobs) {
        total += j.size;
    }
    int filesDone = 0;
    QElapsedTimer clock;
    clock.start();
    qint64 shownAt = -1000;
    auto show = [&](qint64 done, bool now) {
        if (!now && clock.elapsed() - shownAt < 100) {
            return;
        }
        shownAt = clock.elapsed();
        const TransferProgressText text = DescribeBatchProgress(
            upload, filesDone, int(jobs.size()), done, total, double(clock.elapsed()));
        m_ui.SetStatusPanel(StatusPanel::Duration, text.duration);
        m_ui.StatusBarGeneral(text.status);
        m_ui.SetProgress(text.percent);
    };
    qint64 moved = 0;       // as the engines last said
    qint64 endedBytes = 0;  // of the files that arrived
    auto end = [&](const BatchJob& job, bool ok, const QString& text) {
        ++filesDone;
        endedBytes += ok ? job.size : 0;
        if (ok && !job.upload && job.time.isValid()) {
            QFile file(job.localPath);
            if (file.open(QIODevice::ReadWrite)) {
                file.setFileTime(job.time, QFileDevice::FileModificationTime);
            }
        }
        ended(job, ok, text);
        show(std::max(moved, endedBytes), filesDone == int(jobs.size()));
    };
    std::vector<BatchJob> left;
    m_session.ShowAbortButton("Cancel");
    m_ui.SetProgress(0);
    if (auto* sftp = dynamic_cast<SftpSession*>(m_session.Remote())) {
        // One session, several files in flight: no extra logins.
        m_ui.LogText(QStringLiteral("Moving %1 files, %2 at a time").arg(jobs.size()).arg(width));
        std::vector<SftpComponent::BatchFile> files;
        for (const BatchJob& j : jobs) {
            std::optional<quint32> time;
            if (j.upload && j.time.isValid()) {
                time = quint32(std::clamp<qint64>(j.time.toSecsSinceEpoch(), 0, 0xFFFFFFFF));
            }
            files.push_back({j.upload, j.localPath, j.remotePath, time, j.ascii});
        }
        const std::vector<int> notStarted = sftp->SFTP1.TransferMany(
            files, width,
            [&](int index, int code, const QString& text) {
                const BatchJob& job = jobs[size_t(index)];
                if (code == SftpConnection::kAborted) {
                    m_ui.LogText("Stopped while moving " + job.remotePath + ": " +
                                 (job.upload ? "the server may hold part of it"
                                             : "a part is kept in " + job.localPath));
                    left.push_back(job);
                    return;
                }
                end(job, code == 0, text);
            },
            [&](qint64 bytes) {
                moved = bytes;
                show(bytes, false);
            });
        sftp->NoteActivity();
        for (const int index : notStarted) {
            left.push_back(jobs[size_t(index)]);
        }
    } else {
        auto* ftp = dynamic_cast<FtpSession*>(m_session.Remote());
        LoginTarget target = m_session.ExtraConnectionTarget();
        FtpWorkers workers(m_run.cancel, [this](const QString& line) { m_ui.LogText(line); });
        const int open = workers.Open(target, width, ftp->Features().mfmt);
        target.password.fill(QChar(' '));
        target.password.clear();
        if (open == 0) {
            m_ui.LogText(
                "No other connection to the server could be made: the files go one after "
                "the other");
            left = jobs;
        } else {
            m_ui.LogText(QStringLiteral("Moving %1 files over %2 connection%3")
                             .arg(jobs.size())
                             .arg(open)
                             .arg(open == 1 ? "" : "s"));
            std::vector<FtpWorkers::Job> work;
            for (size_t i = 0; i < jobs.size(); ++i) {
                const BatchJob& j = jobs[i];
                work.push_back(
                    {j.upload, j.remotePath, j.localPath, j.size, j.time, j.ascii, int(i)});
            }
            const std::vector<FtpWorkers::Job> rest = workers.Run(
                work,
                [&](const FtpWorkers::Result& r) { end(jobs[size_t(r.job.tag)], r.ok, r.text); },
                [&](qint64 done, qint64) {
                    moved = done;
                    show(done, false);
                });
            for (const FtpWorkers::Job& r : rest) {
                left.push_back(jobs[size_t(r.tag)]);
            }
        }
    }
    m_ui.HideProgress();
    m_session.HideAbortButton();
    return left;
}
