// Benchmark driver for scripts/bench_transfers.sh: the full program path of a transfer (the
// login, the Upload or Download button's batch with its progress display) without a window.
// Usage: transfer_driver ftp|sftp HOST PORT USER REMOTE_DIR get|put|sync-up|sync-down NAME
// LOCAL_DIR
//   get: NAME (a file or a folder) of REMOTE_DIR into LOCAL_DIR
//   put: NAME (a file or a folder) of LOCAL_DIR into REMOTE_DIR
//   sync-up: Synchronise the folder LOCAL_DIR/NAME onto REMOTE_DIR/NAME (which must exist);
//            also prints the files sent and the folders listed
//   sync-down: the reverse, REMOTE_DIR/NAME into LOCAL_DIR/NAME (which must exist)
// The password comes from VORLEN_BENCH_PASSWORD; VORLEN_BENCH_SIMULTANEOUS sets Synchronise's
// files at once (FTP connections, SFTP files in flight). Binary mode. Prints "ms=T" for the
// transfer; time and memory are measured from outside.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

#include "app/app_core.h"
#include "app/scripted_user_interface.h"
#include "config/scrambling.h"
#include "panes/local_pane.h"
#include "panes/remote_pane.h"
#include "session/session.h"
#include "session/ssh_helper.h"
#include "transfer/synchroniser.h"
#include "transfer/transfers.h"

int main(int argc, char** argv) {
    if (const auto helper = RunSshHelper(argc, argv)) {
        return *helper;
    }
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool sync = args.size() == 9 && (args[6] == "sync-up" || args[6] == "sync-down");
    if (args.size() != 9 || (args[6] != "get" && args[6] != "put" && !sync)) {
        std::fprintf(stderr,
                     "usage: transfer_driver ftp|sftp HOST PORT USER REMOTE_DIR "
                     "get|put|sync-up|sync-down NAME LOCAL_DIR\n");
        return 2;
    }
    QTemporaryDir home;
    qputenv("VORLENFTP_HOME", home.path().toLocal8Bit());
    ScriptedUserInterface ui;
    ui.transferModeIndex = 2;
    AppCore core(ui);
    core.FormCreate({});
    SiteProfile& site = core.settings.site;
    site.siteName = "Bench";
    site.ssh = args[1] == "sftp";
    site.domain = args[2] + ":" + args[3];
    site.userid = args[4];
    site.sessionPassword = QString::fromLatin1(
        scrambling::ComplexEncrypt(qEnvironmentVariable("VORLEN_BENCH_PASSWORD").toUtf8()));
    site.lcUpload = false;
    site.autoRefresh = false;
    site.infRemDirs = {args[5]};
    // Synchronise's connections at once (the setting's default otherwise).
    if (const int n = qEnvironmentVariableIntValue("VORLEN_BENCH_SIMULTANEOUS"); n > 0) {
        core.settings.common.simultaneousTransfers = n;
    }
    core.session->RequestConnect();
    if (!core.session->Connected()) {
        std::fprintf(stderr, "login failed\n");
        return 1;
    }
    core.localPane->SelectDirectory(args[8]);
    ui.dialogAnswers.enqueue(ModalResult::OK);  // "Transfer type is binary" for folders
    QElapsedTimer clock;
    clock.start();
    if (sync) {
        core.localPane->SelectDirectory(args[8] + "/" + args[7]);
        if (!core.remotePane->EnterRemoteDirectory(args[5] + "/" + args[7])) {
            std::fprintf(stderr, "no remote folder %s\n", qPrintable(args[7]));
            return 1;
        }
        clock.restart();
        const Synchroniser::Outcome outcome =
            core.synchroniser->Synchronise(args[6] == "sync-up", false);
        const qint64 ms = clock.elapsed();
        const auto listed = std::count_if(ui.logLines.begin(), ui.logLines.end(),
                                          [](const QString& l) { return l.startsWith("chdir "); });
        std::printf("ms=%lld sent=%d failed=%d chdirs=%lld\n", static_cast<long long>(ms),
                    outcome.sent, outcome.failed, static_cast<long long>(listed));
        core.session->RequestDisconnect();
        return outcome.Ok() ? 0 : 1;
    }
    if (args[6] == "get") {
        std::vector<int> rows;
        for (int i = 0; i < core.remotePane->RowCount(); ++i) {
            const RemoteRow row = core.remotePane->Row(i);
            if (row.entry && row.entry->name == args[7]) {
                rows.push_back(i);
            }
        }
        core.transfers->btnDownloadClickActions(rows);
    } else {
        core.transfers->btnUploadClickActions({args[7]});
    }
    const qint64 ms = clock.elapsed();
    QStringList problems = ui.MessageTexts();
    problems.removeIf([](const QString& text) { return text.startsWith("Transfer type is "); });
    if (!core.session->Connected() || !problems.isEmpty()) {
        std::fprintf(stderr, "transfer failed: %s\n", qPrintable(problems.join("; ")));
        return 1;
    }
    std::printf("ms=%lld\n", static_cast<long long>(ms));
    core.session->RequestDisconnect();
    return 0;
}
