#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

class UserInterface;
class Settings;
struct SiteProfile;

// One local file or directory as the pane lists it.
struct LocalEntry {
    QString name;
    QString extension;  // after the last ".", upper-cased; the whole name when it has none
    qint64 size = 0;    // -1 marks a directory
    QString modified;   // "YYYY-MM-DD   HH:MM:SS"; empty for directories

    bool IsDirectory() const { return size < 0; }
};

// One item found by ListLocalDirectory.
struct LocalItem {
    QString name;
    bool isDirectory = false;
    qint64 size = 0;
    QDate date;  // last write, local time
    QTime time;
};

struct LocalDrive {
    QString root;
    QString typeName;
};

// What a row of the list shows.
struct LocalRow {
    enum class Kind { Parent, Directory, File };
    Kind kind = Kind::File;
    QString name;
    QString size;
    QString modified;
};

enum class LocalSortKey { Name = 0, Extension = 1, Size = 2, Modified = 3 };

// Lists one directory: the entries whose names match Pattern ("*" wildcards). Hidden entries
// (names beginning with "." here) are left out unless IncludeHidden; DirsOnly leaves out files;
// SortByName sorts by lower-cased name, stably. An unreadable directory gives an empty list.
QVector<LocalItem> ListLocalDirectory(const QString& dir, const QString& pattern,
                                      bool includeHidden, bool sortByName, bool dirsOnly);

// Upper-cased text after the last "."; the whole name upper-cased when it has no ".".
QString LocalExtension(const QString& name);

// The modified text of a file: the date, three blanks, and the time made from the time formatted
// with the user's long time format (LongTimeFormat is a Qt format string).
QString LocalModifiedText(const QDateTime& modified, const QString& longTimeFormat);

// The same for many files at once: each time of day is formatted once.
class LocalModifiedFormatter {
public:
    explicit LocalModifiedFormatter(QString longTimeFormat);
    QString operator()(const QDate& date, const QTime& time);

private:
    QString m_format;
    QVector<QString> m_times;
    qint64 m_lastDay = -1;
    QString m_lastDate;
};

// The remembered-directory rule: at most 8, the default first, no duplicates.
QStringList RememberLocalDir(const QStringList& old, const QString& dir, bool asDefault);

// The parent of a local path, as ".." reaches it; empty when there is none.
QString LocalParentDir(const QString& dir);

// The left half of the main window without its widgets: the current directory, its entries, the
// sort state, the remembered directories, and the local file commands. It reaches the person only
// through UserInterface; the window shows Rows() and the summary.
class LocalPane {
public:
    LocalPane(UserInterface& ui, Settings& settings);

    // Helpers the pane uses; replaced in tests.
    QString longTimeFormat;
    std::function<void()> updateSettings = [] {};
    std::function<bool(const QString& program, const QStringList& args)> startProgram;
    std::function<bool(const QString& path)> openDocument;
    // Tried when openDocument fails (the window sets the desktop services); may be empty.
    std::function<bool(const QString& path)> openWithDesktop;
    // Whether xdg-open is on PATH, for the message when nothing could open a file.
    std::function<bool()> xdgOpenFound;

    const QString& CurrentDir() const { return m_currentDir; }
    // The directory to list next (the site's default local directory at login).
    void SetCurrentDir(const QString& dir);
    void SetDefaultLocalDir(const QString& dir) { m_defaultDir = dir; }
    const QVector<LocalDrive>& Drives() const { return m_drives; }
    const QVector<LocalEntry>& Entries() const { return m_entries; }
    // The rows as shown: "..", then the directories, then the files. Built on demand, so that
    // a list of 100,000 files formats only the rows on the screen.
    int RowCount() const { return int(m_rows.size()); }
    LocalRow Row(int row) const;
    // The size of a file row in bytes (0 for others).
    qint64 RowBytes(int row) const;
    QString SummaryText() const;

    // The remembered directories (the site's InfLocDir list), the default first.
    const QStringList& RememberedDirs() const;

    LocalSortKey SortKey() const;
    bool Descending() const;
    void SetSort(LocalSortKey key, bool descending);

    void GetLocalDrives();
    // Re-lists the current directory (falling back to the default when it is gone) and shows it.
    void RefreshLocal();
    // Hidden entries (names beginning with "." here) are left out unless asked for.
    bool showHidden = false;
    void SortLocal();
    // A click on column 0, 1 or 2 (name, size, modified).
    void ColumnClick(int column);
    // A sub-directory name, an absolute path, or "..".
    void ChangeLocalDirectory(const QString& name);
    void AddLocDirToCmbx(const QString& dir, bool asDefault);
    // The directory typed into or picked from the combo box. False when it does not exist.
    bool SelectDirectory(const QString& dir);

    qint64 FilesizeOfNamedLocalFile(const QString& name) const;
    QString TimestampOfNamedLocalFile(const QString& name) const;

    // Commands. Selected names are the names of the selected rows.
    void RefreshClick();
    void CreateNewDir();
    void SetAsDefaultLocalDir(const QString& siteName);
    void OpenSelected(const QStringList& selected);
    void OpenAsText(const QStringList& selected);
    void OpenInBrowser(const QStringList& selected);
    void RenameSelected(const QStringList& selected);
    void DeleteSelected(const QStringList& selected);
    // A folder chosen in the browse dialog.
    void BrowseResult(const QString& path);

private:
    const LocalEntry* FindEntry(const QString& name) const;
    QString FullPath(const QString& name) const;
    // Open with the default program, else the desktop services; false (and logged, naming
    // what is missing) when neither could.
    void OpenDocument(const QString& path);
    bool OpenCheck(const QStringList& selected, const QString& noneText, bool refuseFolders);

    UserInterface& m_ui;
    Settings& m_settings;
    SiteProfile& m_site;
    QString m_currentDir;
    QString m_defaultDir;
    QVector<LocalDrive> m_drives;
    QVector<LocalEntry> m_entries;
    QVector<qsizetype> m_rows;  // index into m_entries, or -1 for ".."
    int m_fileCount = 0;
    qint64 m_byteTotal = 0;
    QString m_comboText;
    bool m_localOperation = false;
};
