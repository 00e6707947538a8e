#include <QApplication>
#include <cstdio>
#include <cstring>

#include "app/app_core.h"
#include "ui/frm_main.h"

namespace {

const char kUsage[] =
    "Usage: vorlen [-s[SITE/]SCRIPT] [-h]\n"
    "\n"
    "  -sSCRIPT        run the transfer script SCRIPT with the saved current site\n"
    "  -sSITE/SCRIPT   run SCRIPT against the saved site named SITE\n"
    "                  (the value follows -s without a blank)\n"
    "  -h              log in with SSH (SFTP)\n"
    "  --version       print the version and exit\n"
    "  --help          print this help and exit\n"
    "\n"
    "The configuration lives in $VORLENFTP_HOME, or $XDG_DATA_HOME/VorlenFTP\n"
    "(~/.local/share/VorlenFTP) when VORLENFTP_HOME is not set.\n";

}  // namespace

int main(int argc, char* argv[]) {
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
    QApplication app(argc, argv);
    QApplication::setApplicationName("Vorlen FTP");
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    TfrmMain window(arguments);
    window.show();
    return QApplication::exec();
}
