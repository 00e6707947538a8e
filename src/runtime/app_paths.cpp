#include "runtime/app_paths.h"

#include <QDir>

#include "platform/platform.h"

AppPaths AppPaths::ForWorkFolder(const QString& workFolder, const QString& stamp) {
    AppPaths p;
    const QString sep = platform::LocalSeparator();
    p.workFolder = QDir::toNativeSeparators(workFolder);
    p.cfgFileName = p.workFolder + sep + "VorlenFTP.cfg";
    p.procmailFolder = p.workFolder + sep + "Procmail";
    p.tempFolder = QDir::toNativeSeparators(platform::TempFolder());
    p.programFolder = platform::ProgramFolder();
    p.executablePath = platform::ExecutablePath();
    p.listingTempFile = p.workFolder + sep + "FtpDirList" + stamp + ".txt";
    p.listingKeepFile = p.workFolder + sep + "FtpDirList.txt";
    return p;
}
