#include "procmail/procmail_update.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "panes/local_pane.h"
#include "panes/remote_pane.h"
#include "platform/platform.h"
#include "procmail/procmail_extract.h"
#include "procmail/procmail_lock.h"
#include "procmail/recipe_file.h"
#include "runtime/app_paths.h"
#include "runtime/program_version.h"
#include "runtime/run_state.h"
#include "runtime/settings_store.h"
#include "runtime/user_interface.h"
#include "script/script_runner.h"
#include "session/session.h"
#include "textio/text_files.h"
#include "transfer/remote_operations.h"
#include "transfer/transfers.h"

namespace {

constexpr int kWorkingCopies = 10;

QString InFolder(const QString& folder, const QString& name) {
    return QDir(folder).filePath(name);
}

void DeleteWorkingCopies(const QString& copyBase, int upTo) {
    for (int n = 1; n <= std::max(upTo, kWorkingCopies); ++n) {
        QFile::remove(copyBase + QString::number(n));
    }
}

}  // namespace

ProcmailUpdate::ProcmailUpdate(SettingsStore& store, RunState& run, const AppPaths& paths,
                               UserInterface& ui, Session& session, RemotePane& pane,
                               LocalPane& local, Transfers& transfers, RemoteOperations& operations,
                               ScriptRunner& scripts)
    : m_store(store),
      m_run(run),
      m_paths(paths),
      m_ui(ui),
      m_session(session),
      m_pane(pane),
      m_local(local),
      m_transfers(transfers),
      m_operations(operations),
      m_scripts(scripts) {
    generate = [this](const QString& mdlPath, bool* completed) {
        return GenerateRecipeAsFile(mdlPath, MessagesTo(m_ui), completed);
    };
}

void ProcmailUpdate::Error(const QString& text) {
    m_ui.ColorMsgDlg(text, MsgDlgType::Error, MsgDlgBtn::OK);
}

LockOwner ProcmailUpdate::Me() const {
    return {m_run.winUserName.isEmpty() ? platform::UserName() : m_run.winUserName,
            platform::MachineIdentity()};
}

QString ProcmailUpdate::LocalProcmailDirectory() {
    const QString configured = m_store.settings.site.localProcmailDir;
    if (!configured.isEmpty() && QFileInfo(configured).isDir()) {
        return configured;
    }
    if (platform::EnsureFolder(m_paths.procmailFolder)) {
        return m_paths.procmailFolder;
    }
    return platform::DefaultLocalDirectory();
}

ProcmailQuery ProcmailUpdate::SetProcmailQueryText(const QString& directory) {
    ProcmailQuery query;
    query.directory = directory;
    m_chosenFile = "?";
    const QStringList selected = m_ui.SelectedLocalNames();
    for (const QString& name : selected) {
        if (IsRegenerationFile(name)) {
            m_chosenFile = name;
            break;
        }
    }
    if (m_chosenFile == "?") {
        return query;
    }
    query.regenerateVisible = true;
    query.alternativeText =
        "(Alternatively you can regenerate from local file " + m_chosenFile + ")";
    query.regenerateCaption = m_chosenFile == kRecipeName ? "Regenerate from local " + m_chosenFile
                                                          : "Regenerate from " + m_chosenFile;
    query.localTimestamp = "Timestamp for local " + m_chosenFile + ": " +
                           m_local.TimestampOfNamedLocalFile(m_chosenFile);
    if (!m_pane.procmailrcModified.isEmpty()) {
        query.remoteTimestamp = "Timestamp for remote .procmailrc: " + m_pane.procmailrcModified;
    }
    return query;
}

void ProcmailUpdate::ProcmailClickActions() {
    m_proceed = false;
    m_regenerate = false;
    lockHeld = false;
    lockName.clear();
    m_panesDisabled = false;
    QString directory = LocalProcmailDirectory();
    m_local.SelectDirectory(directory);
    m_ui.RefreshLocalList();
    m_store.UpdateSettings();

    ProcmailQuery query = SetProcmailQueryText(directory);
    for (;;) {
        const ProcmailAnswer answer = m_ui.AskProcmail(query);
        if (answer.choice == ProcmailChoice::No) {
            break;
        }
        if (answer.choice == ProcmailChoice::Regenerate) {
            m_proceed = true;
            m_regenerate = true;
            if (m_chosenFile == "?") {
                const QStringList selected = m_ui.SelectedLocalNames();
                if (selected.size() == 1 && IsRegenerationSelection(selected.first())) {
                    m_chosenFile = selected.first();
                } else {
                    m_ui.ShowColorMsg(
                        "Please select a single local file whose name is .procmailrc or is in "
                        "format procmailnnn.txt and try again.");
                    m_proceed = false;
                    m_regenerate = false;
                }
            }
            break;
        }
        if (QFileInfo(answer.directory).isDir()) {
            directory = answer.directory;
            m_store.settings.site.localProcmailDir = directory;
            m_store.UpdateSettings();
            m_proceed = true;
            break;
        }
        m_ui.ShowColorMsg("Local procmail directory does not exist, please correct and try again");
        query.directory = answer.directory;
    }

    if (QDir::cleanPath(directory).compare(QDir::cleanPath(m_local.CurrentDir()),
                                           Qt::CaseInsensitive) != 0) {
        if (!platform::IsRootedLocalPath(directory) || !m_local.SelectDirectory(directory)) {
            m_ui.ShowColorMsg("Error - problem accessing local procmail directory " + directory);
            return;
        }
    }
    if (m_proceed && m_session.CheckConnection()) {
        Cycle(directory);
    }
    ProcmailDelLockfileResetGrids();
    m_ui.StatusBarGeneral(" End of procmail processing.");
}

void ProcmailUpdate::Cycle(const QString& directory) {
    m_ui.DisableGridsEtc();
    m_panesDisabled = true;
    // A resumed upload would append to a leftover file of the same name.
    m_ui.SetResumeTicked(false);
    if (!EnterHome()) {
        Error("Error - problem accessing the remote home directory " + m_session.homeDir);
        return;
    }
    if (!ScanLocks(directory)) {
        return;
    }
    if (lockName.isEmpty() && !WriteLock(directory)) {
        return;
    }

    QString source;
    if (m_regenerate) {
        source = InFolder(directory, m_chosenFile);
    } else {
        if (!FetchRecipe(directory)) {
            return;
        }
        source = InFolder(directory, kRecipeName);
    }

    m_ui.StatusBarGeneral(" Extracting from Recipe");
    const int revision = CreateProcmailExtract(m_ui, source, now(), ProgramVersion());
    if (revision < 0) {
        Error(
            "Could not extract from existing recipe, suggest looking at it, abandoning procmail "
            "update attempt");
        ReleaseLock();
        return;
    }
    const QString number = QString::number(revision);
    // A description chosen in the local pane is edited where it is, whatever its first line.
    const QString mdlFile = m_regenerate && m_chosenFile != kRecipeName
                                ? source
                                : InFolder(directory, "procmail" + number + ".txt");
    const QString copyBase = InFolder(directory, "~procmail" + number + ".txt");
    DeleteWorkingCopies(copyBase, kWorkingCopies);
    if (!EditUntilClean(mdlFile, copyBase)) {
        return;
    }

    m_ui.StatusBarGeneral(" Confirming upload");
    if (m_ui.ConfirmYesNo("Procmail recipe .procmailrc has been generated from " + mdlFile +
                          "\r\n\r\nUpload new procmail recipe?")) {
        if (!m_session.CheckConnection()) {
            m_ui.ShowColorMsg(
                "You seem to have lost your connection to the host, please try again after a "
                "connection is re-established");
            return;
        }
        SwapInNewRecipe(directory);
    }
    ReleaseLock();
}

bool ProcmailUpdate::EnterHome() {
    const bool zos = m_store.settings.zosMode;
    if (NormalisedRemoteDir(zos, m_session.currentRemoteDir) !=
        NormalisedRemoteDir(zos, m_session.homeDir)) {
        m_session.nextDir = m_session.homeDir;
        m_pane.ChangeRemoteDirectoryAndRefreshList();
    }
    RefreshListing();
    return !m_pane.listingFailed && NormalisedRemoteDir(zos, m_session.currentRemoteDir) ==
                                        NormalisedRemoteDir(zos, m_session.homeDir);
}

void ProcmailUpdate::RefreshListing() {
    // The recipe and the locks begin with "." or must be seen whatever the server hides.
    RemoteSession& remote = *m_session.Remote();
    const QString before = remote.ExchangeListOptions("-a");
    m_pane.cacheUse = false;
    m_pane.RefreshRemoteDirectoryList();
    remote.ExchangeListOptions(before);
}

const RemoteEntry* ProcmailUpdate::Listed(const QString& name) const {
    for (const RemoteEntry& entry : m_pane.listing.files) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return nullptr;
}

bool ProcmailUpdate::ReadLockOwner(const QString& name, const QString& directory, LockOwner& owner,
                                   QString& message) {
    message = LockMessage(name);
    const QString local = InFolder(directory, name);
    QFile::remove(local);
    m_transfers.SetXferModeAscii();
    m_transfers.transferSize = Listed(name) != nullptr ? Listed(name)->size : 0;
    m_transfers.DownloadFile(name, local);
    TextFiles files(m_ui);
    QString line;
    if (QFileInfo(local).isFile() && files.TextFileIn(local, "OPEN")) {
        if (!files.TextFileIn(local, "EOF") && files.TextFileIn(local, "GET")) {
            line = files.InRecord;
        }
        files.TextFileIn(local, "CLOSE");
    }
    QFile::remove(local);
    const std::optional<LockOwner> read = ParseLockContent(line);
    if (!read) {
        return false;
    }
    owner = *read;
    message += "\r\nLocked by user " + owner.user + " (" + owner.machine + ")";
    return true;
}

bool ProcmailUpdate::ScanLocks(const QString& directory) {
    QStringList locks;
    for (const RemoteEntry& entry : m_pane.listing.files) {
        if (IsLockFileName(entry.name)) {
            locks << entry.name;
        }
    }
    for (const QString& name : locks) {
        LockOwner owner;
        QString message;
        if (ReadLockOwner(name, directory, owner, message) && owner == Me()) {
            if (!m_ui.ConfirmYesNo("Do you want to use the existing lock from " +
                                   LockTimeText(name) + " which matches your user name?")) {
                Error("Abandoning procmail update");
                return false;
            }
            lockName = name;
            continue;
        }
        Error(message);
        return false;
    }
    return true;
}

bool ProcmailUpdate::WriteLock(const QString& directory) {
    const QString name = LockFileName(now());
    const QString local = InFolder(directory, name);
    {
        QFile file(local);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
            m_ui.Warning("Error opening file " + local);
            return false;
        }
        file.write((LockContent(Me()) + "\n").toUtf8());
    }
    if (beforeLockWrite) {
        beforeLockWrite();
    }
    const bool uploaded = UploadText(name, local, false);
    QFile::remove(local);
    lockName = name;
    lockHeld = true;
    if (!m_session.Connected()) {
        return false;
    }
    RefreshListing();
    if (!uploaded || Listed(name) == nullptr) {
        Error("The procmail lock " + name +
              " could not be written to the server, abandoning procmail update attempt");
        return false;
    }
    // Listing and uploading are two steps: when someone else locked in between, the older lock
    // wins and the younger one withdraws, so two people starting together never both go on.
    for (const RemoteEntry& entry : m_pane.listing.files) {
        if (IsLockFileName(entry.name) && entry.name != name && entry.name < name) {
            LockOwner owner;
            QString message;
            // A copy: the download behind this waits, and the listing may change meanwhile.
            const QString lockFile = entry.name;
            ReadLockOwner(lockFile, directory, owner, message);
            ReleaseLock();
            Error(message);
            return false;
        }
    }
    return true;
}

bool ProcmailUpdate::UploadText(const QString& remoteName, const QString& localPath,
                                bool exactBytes) {
    if (exactBytes) {
        m_transfers.SetXferModeBinary();
    } else {
        m_transfers.SetXferModeAscii();
    }
    m_transfers.transferSize = QFileInfo(localPath).size();
    m_transfers.UploadFile(remoteName, localPath, true);
    return m_transfers.lastTransferOk;
}

bool ProcmailUpdate::FetchRecipe(const QString& directory) {
    const RemoteEntry* recipe = Listed(kRecipeName);
    if (recipe == nullptr) {
        Error(
            "Retrieval of procmail recipe from host failed, possibly does not exist, abandoning "
            "procmail update attempt");
        ReleaseLock();
        return false;
    }
    const QString local = InFolder(directory, kRecipeName);
    QFile::remove(local);
    m_transfers.SetXferModeAscii();
    m_transfers.transferSize = recipe->size;
    m_transfers.DownloadFile(kRecipeName, local);
    // A part of the recipe would give a description with rules missing.
    if (!QFileInfo(local).isFile() || !m_session.Connected() || !m_transfers.lastTransferOk) {
        QFile::remove(local);
        Error("Retrieval of procmail recipe from host failed, abandoning procmail update attempt");
        return false;
    }
    return true;
}

bool ProcmailUpdate::EditUntilClean(const QString& mdlFile, const QString& copyBase) {
    TextFiles files(m_ui);
    for (int attempt = 1;; ++attempt) {
        m_ui.StatusBarGeneral(" Invoking editor");
        const QString copy = copyBase + QString::number(attempt);
        if (QFileInfo::exists(copy)) {
            QFile::remove(copy);
            continue;
        }
        if (!m_scripts.EditFileAndWait(mdlFile)) {
            m_ui.Warning("Unable to start the editor " + m_store.settings.common.favoredEditor);
            DeleteWorkingCopies(copyBase, attempt);
            return false;
        }
        m_ui.StatusBarGeneral(" Edit complete, generating new recipe.");
        files.FileCopy(mdlFile, copy);
        const bool generated = GenerateProcmailRecipe(copy);
        QFile::remove(copy);
        if (generated) {
            DeleteWorkingCopies(copyBase, attempt);
            return true;
        }
        if (attempt % 2 == 0 && m_ui.ConfirmYesNo("Abandon procmail update now?")) {
            DeleteWorkingCopies(copyBase, attempt);
            return false;
        }
    }
}

bool ProcmailUpdate::GenerateProcmailRecipe(const QString& mdlPath) {
    const QString recipe = RecipePathFor(mdlPath);
    QFile::remove(recipe);
    bool completed = false;
    generate(mdlPath, &completed);
    QFile file(recipe);
    if (!file.open(QIODevice::ReadOnly)) {
        m_ui.ShowColorMsg("Unknown error generating procmail recipe from " + mdlPath);
        return false;
    }
    const QString first = QString::fromLatin1(file.readLine()).leftJustified(6, ' ');
    return completed && !first.startsWith("#ERROR");
}

bool ProcmailUpdate::RemoteDeleteFile(const QString& name) {
    return m_operations.RemoteDelete(m_session.homeDir, name, "F");
}

bool ProcmailUpdate::RemoteRename(const QString& from, const QString& to) {
    return m_operations.RenameRemoteFileOrDir(from, to, m_session.homeDir);
}

void ProcmailUpdate::SwapInNewRecipe(const QString& directory) {
    m_local.RefreshLocal();
    m_ui.RefreshLocalList();
    const QString local = InFolder(directory, kRecipeName);
    QFile file(local);
    if (!file.open(QIODevice::ReadOnly)) {
        Error("Error - Could not open for read the file " + local);
        return;
    }
    const QByteArray bytes = file.readAll();
    file.close();
    if (!EnterHome()) {
        Error("Error - problem accessing the remote home directory " + m_session.homeDir);
        return;
    }
    const bool hadRecipe = Listed(kRecipeName) != nullptr;
    if (Listed(kRecipeNewName) != nullptr) {
        RemoteDeleteFile(kRecipeNewName);
    }
    // The recipe is written here with the server's line ends already (a Unix PC), so its bytes
    // go unchanged: a server that keeps text uploads unconverted would otherwise leave a
    // carriage return at the end of every recipe line.
#ifdef Q_OS_WIN
    const bool exactBytes = false;
#else
    const bool exactBytes = true;
#endif
    const bool uploaded = UploadText(kRecipeNewName, local, exactBytes);
    if (!m_session.Connected()) {
        Error(
            "The connection was lost while the new procmail recipe was sent; the recipe on the "
            "server is unchanged");
        return;
    }
    RefreshListing();
    const RemoteEntry* sent = Listed(kRecipeNewName);
    if (!uploaded || sent == nullptr ||
        !UploadSizeMatches(bytes.size(), sent->size, bytes.count('\n'), bytes.count('\r'))) {
        Error(QStringLiteral("The new procmail recipe did not arrive whole (%1 of %2 bytes); the "
                             "recipe on the server is unchanged")
                  .arg(sent != nullptr ? sent->size : 0)
                  .arg(bytes.size()));
        if (sent != nullptr) {
            RemoteDeleteFile(kRecipeNewName);
        }
        return;
    }
    if (Listed(kRecipePrevName) != nullptr) {
        RemoteDeleteFile(kRecipePrevName);
    }
    if (hadRecipe && !RemoteRename(kRecipeName, kRecipePrevName)) {
        Error(
            "Could not rename .procmailrc to .procmailrcPrev; the recipe on the server is "
            "unchanged and the new one is kept as .procmailrcNew");
        return;
    }
    if (!RemoteRename(kRecipeNewName, kRecipeName)) {
        const bool restored =
            hadRecipe && m_session.CheckConnection() && RemoteRename(kRecipePrevName, kRecipeName);
        Error(restored ? "Could not rename .procmailrcNew to .procmailrc; the previous recipe was "
                         "put back as .procmailrc"
                       : "Could not rename .procmailrcNew to .procmailrc; the previous recipe is "
                         "kept as .procmailrcPrev and the new one as .procmailrcNew - please "
                         "rename one of them to .procmailrc");
        return;
    }
    m_ui.LogText("New procmail recipe in place, the previous one kept as .procmailrcPrev");
    if (m_session.Connected()) {
        RefreshListing();
    }
}

void ProcmailUpdate::ReleaseLock() {
    if (lockName.isEmpty()) {
        return;
    }
    m_ui.StatusBarGeneral(" Releasing lock");
    const bool deleted = m_session.Connected() && RemoteDeleteFile(lockName);
    if (m_session.Connected()) {
        lockHeld = false;
        if (!deleted) {
            m_ui.Warning("Could not delete the procmail lock " + lockName +
                         " from the home directory, please delete it");
        }
        m_ui.StatusBarGeneral(" Refreshing directory lists");
        RefreshListing();
    } else {
        m_ui.Warning("Error releasing procmail lock");
        m_ui.LogText("The procmail lock " + lockName + " is still in the remote home directory");
    }
    lockName.clear();
}

void ProcmailUpdate::ProcmailDelLockfileResetGrids() {
    if (lockHeld && m_session.Connected()) {
        ReleaseLock();
    } else if (lockHeld) {
        m_ui.LogText("The procmail lock " + lockName + " is still in the remote home directory");
    }
    lockHeld = false;
    m_local.RefreshLocal();
    m_ui.RefreshLocalList();
    if (m_panesDisabled) {
        m_panesDisabled = false;
        m_ui.EnableGridsEtc();
    }
}
