#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

// The plain rules of the recipe update on the server: the lock file's name and content, the
// revision line of an extract, which local files can be regenerated from, the upload check and
// how known editors are made to wait. Pure text in, text out.

inline const QString kRecipeName = QStringLiteral(".procmailrc");
inline const QString kRecipeNewName = QStringLiteral(".procmailrcNew");
inline const QString kRecipePrevName = QStringLiteral(".procmailrcPrev");

// "zprocmail." + yyyymmdd + hhmmsszzz: 27 characters.
QString LockFileName(const QDateTime& at);
// A lock is a name holding "zprocmail." of exactly 27 characters.
bool IsLockFileName(const QString& name);
// "hh:mm on  yyyy-mm-dd", taken from the lock's name.
QString LockTimeText(const QString& lockName);
// The message that names the lock and tells how to remove it.
QString LockMessage(const QString& lockName);

struct LockOwner {
    QString user;
    QString machine;
    bool operator==(const LockOwner&) const = default;
};
// The lock's one line: each identity scrambled with the lock-file key and written in the
// program's Base64 form, so that the scrambled bytes can hold no blank or line end.
QString LockContent(const LockOwner& owner);
// Nullopt when the line has fewer than two words.
std::optional<LockOwner> ParseLockContent(const QString& line);

// The revision line of a new extract: "# Last revision N generated yyyy-mm-dd hh:mm:ss by
// Vorlen FTP version V, Previously " + the previous text.
QString NewRevisionLine(int revision, const QDateTime& at, const QString& version,
                        const QString& previous);
// From an existing first line: its revision number (-1 when it is no revision line) and the
// previous text (words 5 to 10, a trailing comma removed).
struct RevisionInfo {
    int revision = -1;
    QString previous;
};
RevisionInfo ParseRevisionLine(const QString& line);

// A local file the recipe can be regenerated from: ".procmailrc", or "procmail" + digits +
// ".txt".
bool IsRegenerationFile(const QString& name);
// The regenerate button's wider rule: one name containing "procmail" and ".txt", or
// ".procmailrc" (lower-cased).
bool IsRegenerationSelection(const QString& name);

// Whether the remote size of an upload fits the local file: equal, or differing by exactly the
// line ends a text-mode transfer may add or remove.
bool UploadSizeMatches(qint64 localSize, qint64 remoteSize, qint64 lineFeeds,
                       qint64 carriageReturns);
