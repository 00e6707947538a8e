#include <QApplication>
#include <cstdio>
#include <cstring>

#include "app/app_core.h"
#include "app/unattended.h"
#include "platform/stop_signals.h"
#include "script/script_runner.h"
#include "session/ssh_helper.h"
#include "ui/frm_main.h"

namespace {

const char kUsage[] =
    "Usage: vorlen [-s[SITE/]SCRIPT] [-h] [--trace]\n"
    "\n"
    "  -sSCRIPT        run the transfer script SCRIPT with the saved current site\n"
    "  -sSITE/SCRIPT   run SCRIPT against the saved site named SITE\n"
    "                  (the value follows -s without a blank)\n"
    "  -h              log in with SSH (SFTP)\n"
    "  --demo-site=HOST:PORT\n"
    "                  add or update the site \"Local demo\" for a local demo server\n"
    "                  (user and password from VORLEN_DEMO_USER and VORLEN_DEMO_PASSWORD;\n"
    "                  scripts/run.sh starts such a server) and select it\n"
    "  --trace         also log the connection's and the transfers' state changes\n"
    "  --version       print the version and exit\n"
    "  --help          print this help and exit\n"
    "\n"
    "A script named with -s runs instead of the login dialog; SCRIPT is a path\n"
    "(-s/home/me/nightly.txt and -sMySite//home/me/nightly.txt both work: the\n"
    "site name ends at the first \"/\"). Every log line is also written to standard\n"
    "output. Without a display (no DISPLAY or WAYLAND_DISPLAY) the script runs\n"
    "with no window: questions get their safe answer (No or Cancel) and a changed\n"
    "host key ends the login. EXIT VORLEN in the script ends the program with\n"
    "status 0 when every transfer and deletion of the last run worked, 1 when\n"
    "one failed, 2 when the script could not start (file missing, error in the\n"
    "script, no site, password not saved, login failed). SIGTERM or Ctrl-C stops\n"
    "the script after its current step, saves the settings and exits.\n"
    "\n"
    "The configuration lives in $VORLENFTP_HOME, or $XDG_DATA_HOME/VorlenFTP\n"
    "(~/.local/share/VorlenFTP) when VORLENFTP_HOME is not set.\n";

}  // namespace

int main(int argc, char* argv[]) {
    // ssh runs this program to ask its questions and to reach a proxy.
    if (const auto helper = RunSshHelper(argc, argv)) {
        return *helper;
    }
    // The conventional switches are answered before any window exists, so they work without a
    // display. Everything else is the program's own command line.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Vorlen FTP %s\n", AppCore::GetVersionNumber().toUtf8().constData());
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    if (!DisplayAvailable()) {
        bool script = false;
        for (int i = 1; i < argc; ++i) {
            script = script || ((argv[i][0] == '-' && (argv[i][1] == 's' || argv[i][1] == 'S') &&
                                 argv[i][2] != '\0'));
        }
        if (!script) {
            std::fputs(
                "vorlen: no display (DISPLAY and WAYLAND_DISPLAY are not set); without one\n"
                "only a script can run: vorlen -s[SITE/]SCRIPT (see vorlen --help)\n",
                stderr);
            return ScriptRunner::kCouldNotStart;
        }
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName("Vorlen FTP");
        QStringList arguments = QCoreApplication::arguments();
        arguments.removeFirst();
        return RunUnattended(arguments);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("Vorlen FTP");
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    TfrmMain window(arguments);
    // A stop signal closes the window as its close button would (a running script stops first).
    platform::WatchStopSignals(&window, [&window] { window.close(); });
    window.show();
    const int status = QApplication::exec();
    return window.Core().run.unattended ? window.Core().scripts->ExitStatus() : status;
}
