#include "panes/local_pane.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>
#include <algorithm>
#include <numeric>

#include "config/settings.h"
#include "config/words.h"
#include "listing/listing_parser.h"
#include "platform/platform.h"
#include "runtime/busy_scope.h"
#include "runtime/user_interface.h"

namespace {

const QString kForbiddenDirChars = QStringLiteral("\\/:*\"?<>|");

bool IsRootDir(const QString& dir) {
    return QDir(dir).isRoot();
}

// Trimmed, without a trailing separator unless it is a root.
QString CleanDir(const QString& dir) {
    QString d = dir.trimmed();
    while (d.size() > 1 && (d.endsWith('/') || d.endsWith(platform::LocalSeparator())) &&
           !IsRootDir(d)) {
        d.chop(1);
    }
    return d;
}

// Paths compare after trimming and with a trailing separator.
QString CompareForm(const QString& dir) {
    QString d = dir.trimmed();
    if (!d.endsWith(platform::LocalSeparator())) {
        d += platform::LocalSeparator();
    }
    return d;
}

bool DirExists(const QString& dir) {
    return !dir.isEmpty() && QFileInfo(dir).isDir();
}

}  // namespace

QVector<LocalItem> ListLocalDirectory(const QString& dir, const QString& pattern,
                                      bool includeHidden, bool sortByName, bool dirsOnly) {
    QVector<platform::DirEntryInfo> found;
    platform::ReadDirectory(dir, found);
    const bool everything = pattern.isEmpty() || pattern == "*";
    const QRegularExpression match(
        everything ? QString() : QRegularExpression::wildcardToRegularExpression(pattern),
        QRegularExpression::CaseInsensitiveOption);
    QVector<LocalItem> items;
    items.reserve(found.size());
    for (platform::DirEntryInfo& e : found) {
        if ((dirsOnly && !e.isDirectory) || (e.isHidden && !includeHidden)) {
            continue;
        }
        if (!everything && !match.match(e.name).hasMatch()) {
            continue;
        }
        LocalItem item;
        item.name = std::move(e.name);
        item.isDirectory = e.isDirectory;
        item.size = e.size;
        item.date = QDate(e.year, e.month, e.day);
        item.time = QTime(e.hour, e.minute, e.second);
        items.append(std::move(item));
    }
    if (sortByName && items.size() > 1) {
        QVector<QString> keys(items.size());
        for (qsizetype i = 0; i < items.size(); ++i) {
            keys[i] = items[i].name.toLower();
        }
        QVector<qsizetype> order(items.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(),
                         [&](qsizetype a, qsizetype b) { return keys[a] < keys[b]; });
        QVector<LocalItem> sorted;
        sorted.reserve(items.size());
        for (qsizetype i : order) {
            sorted.append(std::move(items[i]));
        }
        items = std::move(sorted);
    }
    return items;
}

QString LocalExtension(const QString& name) {
    const qsizetype dot = name.lastIndexOf('.');
    return (dot < 0 ? name : name.mid(dot + 1)).toUpper();
}

namespace {

QString TwoDigits(int n) {
    return QString(QChar('0' + n / 10 % 10)) + QChar('0' + n % 10);
}

QString TimePart(const QTime& clock, const QString& longTimeFormat) {
    QString time = clock.toString(longTimeFormat);
    if (time.size() == 8) {
        time.truncate(5);
    } else if (time.size() == 7) {
        time.truncate(4);
    }
    if (time.size() > 2 && time[1] == ':') {
        time.prepend('0');
    }
    return TimeLocal(time);
}

}  // namespace

QString LocalModifiedText(const QDateTime& modified, const QString& longTimeFormat) {
    const QDate date = modified.date();
    return QString::number(date.year()).rightJustified(4, '0') + '-' + TwoDigits(date.month()) +
           '-' + TwoDigits(date.day()) + "   " + TimePart(modified.time(), longTimeFormat);
}

LocalModifiedFormatter::LocalModifiedFormatter(QString longTimeFormat)
    : m_format(std::move(longTimeFormat)), m_times(86400) {}

QString LocalModifiedFormatter::operator()(const QDate& date, const QTime& clock) {
    const int second = std::clamp(clock.msecsSinceStartOfDay() / 1000, 0, 86399);
    QString& time = m_times[second];
    if (time.isNull()) {
        time = TimePart(QTime::fromMSecsSinceStartOfDay(second * 1000), m_format);
    }
    const qint64 day = date.toJulianDay();
    if (day != m_lastDay) {
        m_lastDay = day;
        m_lastDate = QString::number(date.year()).rightJustified(4, '0') + '-' +
                     TwoDigits(date.month()) + '-' + TwoDigits(date.day()) + "   ";
    }
    return m_lastDate + time;
}

QStringList RememberLocalDir(const QStringList& old, const QString& dir, bool asDefault) {
    const QString newDir = CleanDir(dir);
    const QString newKey = CompareForm(newDir);
    QStringList list;
    if (asDefault || old.isEmpty() || CompareForm(old.first()) == newKey) {
        list.append(newDir);
    } else {
        list.append(old.first());
        list.append(newDir);
    }
    const QString firstKey = CompareForm(list.first());
    for (qsizetype i = 0; i < old.size() && i < kMaxRememberedDirs; ++i) {
        if (list.size() >= kMaxRememberedDirs) {
            break;
        }
        const QString key = CompareForm(old[i]);
        if (key != newKey && key != firstKey) {
            list.append(old[i]);
        }
    }
    return list;
}

QString LocalParentDir(const QString& dir) {
    if (IsRootDir(dir)) {
        return dir;
    }
    QDir d(dir);
    return d.cdUp() ? QDir::toNativeSeparators(d.absolutePath()) : QString();
}

LocalPane::LocalPane(UserInterface& ui, Settings& settings)
    : longTimeFormat(platform::LongTimeFormat()),
      m_ui(ui),
      m_settings(settings),
      m_site(settings.site) {
    startProgram = [](const QString& program, const QStringList& args) {
        return QProcess::startDetached(program, args);
    };
    openDocument = [](const QString& path) { return QProcess::startDetached("xdg-open", {path}); };
    xdgOpenFound = [] { return !QStandardPaths::findExecutable("xdg-open").isEmpty(); };
    GetLocalDrives();
    m_currentDir = m_defaultDir;
}

void LocalPane::SetCurrentDir(const QString& dir) {
    m_currentDir = CleanDir(dir);
    m_comboText = m_currentDir;
}

const QStringList& LocalPane::RememberedDirs() const {
    return m_site.infLocDirs;
}

LocalSortKey LocalPane::SortKey() const {
    return static_cast<LocalSortKey>(std::clamp(m_site.localSortIndex, 0, 3));
}

bool LocalPane::Descending() const {
    return m_site.localSortAscInd == 1;
}

void LocalPane::SetSort(LocalSortKey key, bool descending) {
    m_site.localSortIndex = int(key);
    m_site.localSortAscInd = descending ? 1 : 0;
    SortLocal();
}

void LocalPane::GetLocalDrives() {
    // No drive letters here: the file-system root and the home folder, the home folder as default.
    m_drives = {{QDir::rootPath(), "Local Drive"}};
    const QString home = platform::DefaultLocalDirectory();
    if (home != QDir::rootPath()) {
        m_drives.append({home, "Local Drive"});
    }
    m_defaultDir = home;
}

void LocalPane::RefreshLocal() {
    if (!DirExists(m_currentDir)) {
        m_currentDir = m_defaultDir;
    }
    if (m_comboText != m_currentDir) {
        AddLocDirToCmbx(m_currentDir, false);
    }
    const QVector<LocalItem> items =
        ListLocalDirectory(m_currentDir, "*", showHidden, false, false);
    m_entries.clear();
    m_entries.reserve(items.size());
    LocalModifiedFormatter format(longTimeFormat);
    m_fileCount = 0;
    m_byteTotal = 0;
    for (const LocalItem& item : items) {
        if (item.isDirectory) {
            m_entries.append({item.name, LocalExtension(item.name), -1, QString()});
        }
    }
    for (const LocalItem& item : items) {
        if (!item.isDirectory) {
            m_entries.append(
                {item.name, LocalExtension(item.name), item.size, format(item.date, item.time)});
            ++m_fileCount;
            m_byteTotal += item.size;
        }
    }
    SortLocal();
    m_ui.StatusBarGeneral(" Refresh of local directory list completed.");
}

void LocalPane::SortLocal() {
    const LocalSortKey key = SortKey();
    QVector<QString> names;
    if (key == LocalSortKey::Name) {
        names.resize(m_entries.size());
        for (qsizetype i = 0; i < m_entries.size(); ++i) {
            names[i] = m_entries[i].name.toLower();
        }
    }
    QVector<qsizetype> order(m_entries.size());
    std::iota(order.begin(), order.end(), 0);
    // A stable sort: entries that compare equal keep their listing order.
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        const LocalEntry& x = m_entries[a];
        const LocalEntry& y = m_entries[b];
        switch (key) {
            case LocalSortKey::Name:
                return names[a] < names[b];
            case LocalSortKey::Extension:
                return x.extension < y.extension;
            case LocalSortKey::Size:
                return x.size < y.size;
            case LocalSortKey::Modified:
                return x.modified < y.modified;
        }
        return false;
    });
    QVector<LocalEntry> sorted;
    sorted.reserve(m_entries.size());
    for (qsizetype i : order) {
        sorted.append(std::move(m_entries[i]));
    }
    m_entries = std::move(sorted);

    m_rows.clear();
    m_rows.reserve(m_entries.size() + 1);
    if (!IsRootDir(m_currentDir)) {
        m_rows.append(-1);
    }
    const bool descending = Descending();
    for (bool dirs : {true, false}) {
        for (qsizetype k = 0; k < m_entries.size(); ++k) {
            const qsizetype i = descending ? m_entries.size() - 1 - k : k;
            if (m_entries[i].IsDirectory() == dirs) {
                m_rows.append(i);
            }
        }
    }
    m_ui.RefreshLocalList();
}

LocalRow LocalPane::Row(int row) const {
    const qsizetype i = m_rows.value(row, -1);
    if (i < 0) {
        return {LocalRow::Kind::Parent, "..", {}, {}};
    }
    const LocalEntry& e = m_entries[i];
    if (e.IsDirectory()) {
        return {LocalRow::Kind::Directory, e.name, {}, {}};
    }
    return {LocalRow::Kind::File, e.name, GroupThousands(e.size), e.modified};
}

qint64 LocalPane::RowBytes(int row) const {
    const qsizetype i = m_rows.value(row, -1);
    return i < 0 ? 0 : m_entries[i].size;
}

QString LocalPane::SummaryText() const {
    return GroupThousands(m_fileCount) + " files    " + GroupThousands(m_byteTotal) + " bytes";
}

void LocalPane::ColumnClick(int column) {
    static const LocalSortKey kColumnKeys[] = {LocalSortKey::Name, LocalSortKey::Size,
                                               LocalSortKey::Modified};
    if (column < 0 || column > 2) {
        return;
    }
    const LocalSortKey key = kColumnKeys[column];
    if (key == SortKey()) {
        SetSort(key, !Descending());
    } else {
        SetSort(key, Descending());
    }
}

void LocalPane::ChangeLocalDirectory(const QString& name) {
    QString target;
    if (name == "..") {
        target = LocalParentDir(m_currentDir);
        if (!DirExists(target)) {
            target = m_defaultDir;
        }
    } else if (platform::IsRootedLocalPath(name)) {
        target = name;
    } else {
        target = FullPath(name);
    }
    target = CleanDir(target);
    if (!DirExists(target)) {
        m_ui.LogText("Cannot change to directory " + target + " because it does not exist");
        m_ui.LogText("Changing instead to directory " + m_defaultDir);
        target = m_defaultDir;
    }
    m_comboText = target;
    m_currentDir = target;
    RefreshLocal();
}

void LocalPane::AddLocDirToCmbx(const QString& dir, bool asDefault) {
    // Cleaned first: Dir may be one of the remembered directories replaced here.
    m_comboText = CleanDir(dir);
    m_site.infLocDirs = RememberLocalDir(m_site.infLocDirs, dir, asDefault);
}

bool LocalPane::SelectDirectory(const QString& dir) {
    const QString target = CleanDir(dir);
    if (!DirExists(target)) {
        return false;
    }
    m_currentDir = target;
    AddLocDirToCmbx(target, false);
    RefreshLocal();
    return true;
}

const LocalEntry* LocalPane::FindEntry(const QString& name) const {
    const QString lower = name.toLower();
    for (const LocalEntry& e : m_entries) {
        if (e.name.toLower() == lower) {
            return &e;
        }
    }
    return nullptr;
}

qint64 LocalPane::FilesizeOfNamedLocalFile(const QString& name) const {
    const LocalEntry* e = FindEntry(name);
    return e != nullptr && !e->IsDirectory() ? e->size : 0;
}

QString LocalPane::TimestampOfNamedLocalFile(const QString& name) const {
    const LocalEntry* e = FindEntry(name);
    return e != nullptr ? e->modified : QString();
}

QString LocalPane::FullPath(const QString& name) const {
    QString dir = m_currentDir;
    if (!dir.endsWith(platform::LocalSeparator()) && !dir.endsWith('/')) {
        dir += platform::LocalSeparator();
    }
    return dir + name;
}

void LocalPane::RefreshClick() {
    AddLocDirToCmbx(m_currentDir, false);
    m_ui.StatusBarGeneral(QString());
    const BusyScope busy(m_ui);
    GetLocalDrives();
    RefreshLocal();
}

void LocalPane::CreateNewDir() {
    m_ui.StatusBarGeneral(QString());
    QString name;
    if (!m_ui.InputQuery("Create new Local Directory",
                         "Please enter name for new local directory to be created in Current "
                         "Directory",
                         name)) {
        return;
    }
    for (QChar c : kForbiddenDirChars) {
        if (name.contains(c)) {
            m_ui.Warning("Directory name cannot contain any of the characters " +
                         kForbiddenDirChars);
            return;
        }
    }
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty()) {
        return;  // nothing to create
    }
    if (const LocalEntry* e = FindEntry(trimmed)) {
        m_ui.Warning("Cannot create folder " + name + " because a " +
                     (e->IsDirectory() ? "folder" : "file") + " with that name already exists");
        return;
    }
    const BusyScope busy(m_ui);
    const QString path = FullPath(trimmed);
    QDir().mkpath(path);
    if (DirExists(path)) {
        AddLocDirToCmbx(m_currentDir, false);
        GetLocalDrives();
        RefreshLocal();
    } else {
        m_ui.Warning("Attempt to create folder " + name + " was not successful");
    }
}

void LocalPane::SetAsDefaultLocalDir(const QString& siteName) {
    m_ui.StatusBarGeneral(QString());
    AddLocDirToCmbx(m_currentDir, true);
    updateSettings();
    m_ui.LogText("Default local dir for " + siteName + " is " + m_currentDir);
}

bool LocalPane::OpenCheck(const QStringList& selected, const QString& noneText,
                          bool refuseFolders) {
    m_ui.StatusBarGeneral(QString());
    if (selected.isEmpty()) {
        m_ui.ColorMsgDlg(noneText, MsgDlgType::Information, MsgDlgBtn::OK);
        return false;
    }
    const LocalEntry* e = FindEntry(selected.first());
    if (refuseFolders && e != nullptr && e->IsDirectory()) {
        m_ui.Warning("Cannot edit " + selected.first() + " because it is a folder.");
        return false;
    }
    AddLocDirToCmbx(m_currentDir, false);
    updateSettings();
    return true;
}

void LocalPane::OpenSelected(const QStringList& selected) {
    if (OpenCheck(selected, "No file has been selected for edit", true)) {
        OpenDocument(FullPath(selected.first()));
    }
}

void LocalPane::OpenDocument(const QString& path) {
    if (openDocument(path) || (openWithDesktop && openWithDesktop(path))) {
        return;
    }
    const bool xdgOpen = xdgOpenFound && xdgOpenFound();
    m_ui.LogText(
        "Unable to open " + path + ": " +
        (xdgOpen ? QStringLiteral("xdg-open failed")
                 : QStringLiteral("xdg-open was not found (package xdg-utils)")) +
        (openWithDesktop ? QStringLiteral(" and the desktop has no program for it") : QString()));
}

void LocalPane::OpenAsText(const QStringList& selected) {
    if (OpenCheck(selected, "No file has been selected for edit", true) &&
        !startProgram(m_settings.common.favoredEditor, {FullPath(selected.first())})) {
        m_ui.Warning("Unable to start the editor " + m_settings.common.favoredEditor);
    }
}

void LocalPane::OpenInBrowser(const QStringList& selected) {
    if (OpenCheck(selected, "No file has been selected to open", false)) {
        OpenDocument(FullPath(selected.first()));
    }
}

void LocalPane::RenameSelected(const QStringList& selected) {
    m_ui.StatusBarGeneral(QString());
    if (m_localOperation) {
        return;
    }
    if (selected.isEmpty()) {
        m_ui.ColorMsgDlg("No file has been selected for rename", MsgDlgType::Information,
                         MsgDlgBtn::OK);
        return;
    }
    const BusyScope busy(m_ui, &m_localOperation);
    for (qsizetype i = selected.size() - 1; i >= 0; --i) {
        const QString& name = selected[i];
        QString answer = name;
        if (!m_ui.InputQuery("Local file rename", "Please supply new name for " + name + " :",
                             answer) ||
            answer.isEmpty()) {
            continue;
        }
        if (answer == name) {
            m_ui.Warning("Cannot rename a file to the name it already has.");
            break;
        }
        const QString oldPath = FullPath(name);
        const QString newPath =
            answer.contains(platform::LocalSeparator()) ? answer : FullPath(answer);
        // Never replaces an existing file: the move fails instead.
        const bool moved = !QFileInfo::exists(newPath) && QDir().rename(oldPath, newPath);
        if (moved) {
            m_ui.LogText("Ren " + oldPath + " " + newPath);
        } else {
            m_ui.Warning("Rename failed.");
            m_ui.LogText("Failure with: Ren " + oldPath + " " + newPath);
        }
    }
    RefreshLocal();
}

void LocalPane::DeleteSelected(const QStringList& selected) {
    m_ui.StatusBarGeneral(QString());
    if (m_localOperation) {
        return;
    }
    if (selected.isEmpty()) {
        m_ui.ColorMsgDlg("No file has been selected for deletion", MsgDlgType::Information,
                         MsgDlgBtn::OK);
        return;
    }
    const BusyScope busy(m_ui, &m_localOperation);
    bool yesToAll = false;
    for (const QString& name : selected) {
        const LocalEntry* e = FindEntry(name);
        if (e != nullptr && e->IsDirectory()) {
            m_ui.Warning("Cannot delete " + name + " - folder deletion not supported");
            continue;
        }
        if (!yesToAll) {
            const ModalResult answer =
                m_ui.ColorMsgDlg("Delete local file named " + name + "?", MsgDlgType::Confirmation,
                                 MsgDlgBtn::Yes | MsgDlgBtn::No | MsgDlgBtn::YesToAll);
            if (answer == ModalResult::No) {
                continue;
            }
            if (answer == ModalResult::YesToAll) {
                yesToAll = true;
            } else if (answer != ModalResult::Yes) {
                break;
            }
        }
        const QString path = FullPath(name);
        // Only a plain file (or link) is removed; a name that became a folder meanwhile is left.
        if (QFileInfo(path).isDir() || !QFile::remove(path)) {
            m_ui.LogText("Unable to delete local file " + path);
        }
    }
    RefreshLocal();
}

void LocalPane::BrowseResult(const QString& path) {
    const QString dir = CleanDir(path);
    if (!DirExists(dir)) {
        return;
    }
    m_currentDir = dir;
    const QString key = CompareForm(dir);
    const bool known = std::any_of(m_site.infLocDirs.begin(), m_site.infLocDirs.end(),
                                   [&](const QString& d) { return CompareForm(d) == key; });
    if (!known) {
        AddLocDirToCmbx(dir, false);
    }
    m_comboText = dir;
    RefreshLocal();
}
