#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// The one place that knows the operating system. Everything the program needs from the system
// (folders, user name, clocks, locale formats, helper programs) is asked for here, so the rest of
// the code reads the same on Windows and on Linux.
namespace platform {

// Per-user folder that holds the configuration file and the program's working files.
// VORLENFTP_HOME overrides it (tests, portable use). Not created here.
QString WorkFolder();

// Creates Folder with all missing parents. False when it cannot be created.
bool EnsureFolder(const QString& folder);

// The system's temporary-files folder, without a trailing separator.
QString TempFolder();

// The "Windows folder" equivalents: the default location of gzip, and the identity written into
// lock files (the Windows directory there, the host name here).
QString DefaultGzipPath();
QString MachineIdentity();

// The log-on name of the user running the program.
QString UserName();

// Full path of the running executable, and its folder ending in a separator.
QString ExecutablePath();
QString ProgramFolder();

// Monotonic milliseconds since some fixed point (the tick counter).
qint64 TickCount();

// The user's short date and long time formats, as Qt format strings ("dd/MM/yyyy", "HH:mm:ss").
QString ShortDateFormat();
QString LongTimeFormat();

// The favoured editor when the user has not chosen one.
QString DefaultEditor();

// Local path conventions.
QChar LocalSeparator();
bool IsRootedLocalPath(const QString& path);

// First of Names found on PATH, or empty.
QString FindFirstProgram(const QStringList& names);

}  // namespace platform

namespace platform {
// The default local directory (the home folder here, C:\ on Windows).
QString DefaultLocalDirectory();

// A descriptor that becomes readable when the process Pid ends (it need not be a child), or -1
// where the system cannot give one. The caller closes it with CloseProcessEndHandle.
int ProcessEndHandle(qint64 pid);
void CloseProcessEndHandle(int handle);
}  // namespace platform

namespace platform {

// One entry of a directory as the local pane needs it. Times are local wall-clock times.
struct DirEntryInfo {
    QString name;
    bool isDirectory = false;
    bool isHidden = false;  // a name beginning with "." here; the hidden or system attribute there
    qint64 size = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// Reads one directory with as few system calls as the system allows (one per file here).
// "." and ".." are left out. False when the directory cannot be read.
bool ReadDirectory(const QString& dir, QVector<DirEntryInfo>& entries);

}  // namespace platform
