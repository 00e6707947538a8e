#include "platform/platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QSysInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <pwd.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace platform {

QString WorkFolder() {
    const QString over = qEnvironmentVariable("VORLENFTP_HOME");
    if (!over.isEmpty()) {
        return QDir::cleanPath(QDir(over).absolutePath());
    }
#ifdef Q_OS_WIN
    const QString base = qEnvironmentVariable("APPDATA");
#else
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty()) {
        base = QDir::homePath() + "/.local/share";
    }
#endif
    // A failing folder query leaves a work folder relative to the current directory.
    if (base.isEmpty()) {
        return QDir(QDir::currentPath()).filePath("VorlenFTP");
    }
    return QDir::cleanPath(base + "/VorlenFTP");
}

bool EnsureFolder(const QString& folder) {
    return !folder.isEmpty() && QDir().mkpath(folder);
}

QString TempFolder() {
    return QDir::cleanPath(QDir::tempPath());
}

QString DefaultGzipPath() {
#ifdef Q_OS_WIN
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT n = GetWindowsDirectoryW(buffer, MAX_PATH);
    const QString path = QString::fromWCharArray(buffer, int(n)) + "\\gzip.exe";
    return QFileInfo::exists(path) ? path : QString();
#else
    return QStandardPaths::findExecutable("gzip");
#endif
}

QString MachineIdentity() {
#ifdef Q_OS_WIN
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT n = GetWindowsDirectoryW(buffer, MAX_PATH);
    return QString::fromWCharArray(buffer, int(n));
#else
    return QSysInfo::machineHostName();
#endif
}

QString UserName() {
#ifdef Q_OS_WIN
    return qEnvironmentVariable("USERNAME");
#else
    if (const passwd* pw = getpwuid(geteuid()); pw != nullptr && pw->pw_name != nullptr) {
        return QString::fromLocal8Bit(pw->pw_name);
    }
    return qEnvironmentVariable("USER");
#endif
}

QString ExecutablePath() {
    return QCoreApplication::applicationFilePath();
}

QString ProgramFolder() {
    const QString dir = QCoreApplication::applicationDirPath();
    return dir.isEmpty() ? QString() : QDir::toNativeSeparators(dir + "/");
}

qint64 TickCount() {
    static const QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}

QString ShortDateFormat() {
    return QLocale::system().dateFormat(QLocale::ShortFormat);
}

QString LongTimeFormat() {
    return QLocale::system().timeFormat(QLocale::LongFormat);
}

QString FindFirstProgram(const QStringList& names) {
    for (const QString& name : names) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty()) {
            return path;
        }
    }
    return {};
}

QString DefaultEditor() {
#ifdef Q_OS_WIN
    return "Notepad.exe";
#else
    const QString found =
        FindFirstProgram({"gnome-text-editor", "gedit", "kate", "mousepad", "xed"});
    return found.isEmpty() ? QStringLiteral("xdg-open") : QFileInfo(found).fileName();
#endif
}

QChar LocalSeparator() {
#ifdef Q_OS_WIN
    return '\\';
#else
    return '/';
#endif
}

bool IsRootedLocalPath(const QString& path) {
#ifdef Q_OS_WIN
    return path.size() >= 2 && path[1] == ':';
#else
    return path.startsWith('/');
#endif
}

}  // namespace platform

namespace platform {
QString DefaultLocalDirectory() {
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\");
#else
    return QDir::homePath();
#endif
}

int ProcessEndHandle(qint64 pid) {
#if defined(Q_OS_LINUX) && defined(SYS_pidfd_open)
    return int(syscall(SYS_pidfd_open, pid_t(pid), 0));
#else
    (void)pid;
    return -1;
#endif
}

void CloseProcessEndHandle(int handle) {
#ifndef Q_OS_WIN
    if (handle >= 0) {
        close(handle);
    }
#else
    (void)handle;
#endif
}
}  // namespace platform

#ifndef Q_OS_WIN
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <ctime>
#else
#include <QDateTime>
#include <QDirIterator>
#endif

namespace platform {

bool ReadDirectory(const QString& dir, QVector<DirEntryInfo>& entries) {
    entries.clear();
#ifndef Q_OS_WIN
    DIR* d = opendir(QFile::encodeName(dir).constData());
    if (d == nullptr) {
        return false;
    }
    const int fd = dirfd(d);
    while (const dirent* e = readdir(d)) {
        const char* name = e->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) {
            continue;
        }
        DirEntryInfo info;
        info.name = QFile::decodeName(name);
        info.isHidden = name[0] == '.';
        bool isDir = e->d_type == DT_DIR;
        if (!isDir) {
            // Follows links, so a link shows what it points at; a broken link is an empty file.
            struct stat st {};
            if (fstatat(fd, name, &st, 0) == 0) {
                isDir = S_ISDIR(st.st_mode);
                info.size = isDir ? 0 : qint64(st.st_size);
                tm local{};
                const time_t mtime = st.st_mtime;
                if (localtime_r(&mtime, &local) != nullptr) {
                    info.year = local.tm_year + 1900;
                    info.month = local.tm_mon + 1;
                    info.day = local.tm_mday;
                    info.hour = local.tm_hour;
                    info.minute = local.tm_min;
                    info.second = local.tm_sec;
                }
            }
        }
        info.isDirectory = isDir;
        entries.append(std::move(info));
    }
    closedir(d);
    return true;
#else
    QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    if (!QFileInfo(dir).isDir()) {
        return false;
    }
    while (it.hasNext()) {
        it.next();
        const QFileInfo fi = it.fileInfo();
        DirEntryInfo info;
        info.name = fi.fileName();
        info.isDirectory = fi.isDir();
        info.isHidden = fi.isHidden();
        info.size = info.isDirectory ? 0 : fi.size();
        const QDateTime m = fi.lastModified();
        info.year = m.date().year();
        info.month = m.date().month();
        info.day = m.date().day();
        info.hour = m.time().hour();
        info.minute = m.time().minute();
        info.second = m.time().second();
        entries.append(std::move(info));
    }
    return true;
#endif
}

}  // namespace platform
