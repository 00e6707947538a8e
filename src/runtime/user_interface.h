#pragma once

#include <QDateTime>
#include <QFlags>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

struct AllocationAttributes;
struct LogOptions;

// The seam through which every command reaches the person. The main window implements it with
// widgets; tests and unattended runs use ScriptedUserInterface, which answers from a queue and
// records everything. No command opens a dialog or touches a widget any other way.

enum class MsgDlgType { Warning = 0, Error = 1, Information = 2, Confirmation = 3, Custom = 4 };

enum class MsgDlgBtn {
    Yes = 0x01,
    No = 0x02,
    OK = 0x04,
    Cancel = 0x08,
    YesToAll = 0x10,
    NoToAll = 0x20,
};
Q_DECLARE_FLAGS(MsgDlgButtons, MsgDlgBtn)
Q_DECLARE_OPERATORS_FOR_FLAGS(MsgDlgButtons)

// The button that closed a message dialog; None when it was closed any other way.
enum class ModalResult { None, Yes, No, OK, Cancel, YesToAll, NoToAll };

// The status bar's five panels.
enum class StatusPanel {
    CallType = 0,   // the request being run
    CallState = 1,  // the engine state number
    LogInfo = 2,    // web-log retrieval progress
    Duration = 3,   // elapsed time and rate of transfers
    General = 4,    // general messages
};
inline constexpr int kStatusPanelCount = 5;

enum class ConnectionLight { Red, Amber, Green };

// The password dialog's answer: OK (with the password typed, possibly empty, and the save
// choice) or Cancel.
struct PasswordAnswer {
    bool ok = false;
    QString password;
    bool save = false;
};

// A file of a batch whose target already exists: what the question shows, and its answer.
enum class ExistingChoice { Overwrite, OverwriteIfNewer, Resume, Skip, Rename };
struct ExistingFileQuery {
    QString name;
    bool upload = true;  // the target is on the server
    qint64 sourceSize = 0;
    QDateTime sourceTime;  // invalid when unknown
    qint64 targetSize = 0;
    QDateTime targetTime;
    bool canResume = false;  // the target is smaller
};
struct ExistingFileAnswer {
    ExistingChoice choice = ExistingChoice::Overwrite;
    bool applyToAll = false;  // the same for the rest of this batch
};

// The procmail confirmation dialog: what it shows, and how it was closed.
// The answer to the question after a file edited in place was saved.
enum class EditedUpload { Upload, Always, Keep };

// The comparison Synchronise shows before anything moves, and the person's choice.
struct SyncQuestion {
    QString localDir;
    QString remoteDir;
    QString summary;  // what differs, counted
    struct Row {
        QString difference;
        QString path;
        QString here;  // size and time, empty when absent
        QString there;
    };
    QList<Row> rows;
    // What a choice would do ("4 files to upload, 2 to delete on the server").
    std::function<QString(bool upload, bool deleteExtra)> planText;
};
struct SyncAnswer {
    bool run = false;
    bool upload = true;
    bool deleteExtra = false;
};

struct ProcmailQuery {
    QString directory;  // the local procmail directory, editable
    bool regenerateVisible = false;
    QString alternativeText;    // "(Alternatively you can regenerate from local file ...)"
    QString regenerateCaption;  // the regenerate button's caption
    QString localTimestamp;     // the timestamp lines, empty when not shown
    QString remoteTimestamp;
};
enum class ProcmailChoice { No, Yes, Regenerate };
struct ProcmailAnswer {
    ProcmailChoice choice = ProcmailChoice::No;
    QString directory;  // as typed or browsed
};

class UserInterface {
public:
    virtual ~UserInterface() = default;

    // Modal message box; returns the button pressed.
    virtual ModalResult ColorMsgDlg(const QString& text, MsgDlgType type,
                                    MsgDlgButtons buttons) = 0;
    // Information box with OK; short texts are padded to 20 characters.
    virtual void ShowColorMsg(const QString& text) = 0;
    // Input box. True with Value set on OK; false on Cancel (Value unchanged).
    virtual bool InputQuery(const QString& title, const QString& prompt, QString& value) = 0;

    virtual void SetStatusPanel(StatusPanel panel, const QString& text) = 0;
    virtual QString StatusPanelText(StatusPanel panel) const = 0;
    // Appends "time text" to the displayed log; blank texts are dropped.
    virtual void LogText(const QString& text) = 0;

    virtual void SetConnectionLight(ConnectionLight light) = 0;

    // Progress bar: shown with a position out of Max; hidden when idle.
    virtual void SetProgress(int percent) = 0;
    virtual void HideProgress() = 0;

    virtual void ShowAbortButton(const QString& caption) = 0;
    virtual void HideAbortButton() = 0;

    // Busy state: no second command can start; Exit and Cancel stay available.
    virtual void DisableGridsEtc() = 0;
    virtual void EnableGridsEtc() = 0;

    virtual void RefreshLocalList() = 0;
    virtual void RefreshRemoteList() = 0;

    // The main window's caption.
    virtual void SetCaption(const QString& caption) = 0;

    // Let pending window events run (the window stays alive during long work).
    virtual void ProcessMessages() = 0;

    // The current site's settings were (re)loaded: the window mirrors them in its radio groups,
    // check boxes and favourite button, and re-applies the site's colours.
    virtual void SiteSettingsChanged() {}

    // The password dialog: Line1 and Line2 say what is asked for. Interfaces without one cancel.
    virtual PasswordAnswer AskPassword(const QString& line1, const QString& line2) {
        (void)line1;
        (void)line2;
        return {};
    }

    // The trace of state changes (the connection's, a transfer's): shown in the log only when
    // asked for on the command line ("--trace"), so a connection problem can be read from it.
    virtual void Trace(const QString& line) {
        if (showTrace) {
            LogText("Trace: " + line);
        }
    }
    bool showTrace = false;

    // The connect button's caption ("Connect", "Disconnect", "Reconnect").
    virtual void ShowConnectCaption(const QString& caption) { (void)caption; }
    // The login dialog at start-up (the window's; unattended runs have none).
    virtual void ShowLoginDialog() {}
    // The "Resume Interrupted Xfer" option.
    virtual bool ResumeTicked() const { return false; }
    virtual void SetResumeTicked(bool ticked) { (void)ticked; }
    virtual void SetResumeOptionVisible(bool visible) { (void)visible; }
    // The remote list's column 1 and 2 captions and the make-directory button, which follow the
    // listing type (z/OS datasets have other columns and no directories to make).
    virtual void ShowRemoteListingLook(const QString& column1, const QString& column2,
                                       bool mkDirVisible) {
        (void)column1;
        (void)column2;
        (void)mkDirVisible;
    }
    virtual void SetTransferModeIndex(int index) { (void)index; }
    // The remote directory box: its remembered directories and the current one.
    virtual void RefreshRemoteDirBox() {}
    // rgrpTransferMode: 0 automatic (by file type), 1 ASCII, 2 binary.
    virtual int TransferModeIndex() const { return 0; }
    // The z/OS allocation dialog titled Title, centred on the window; true when confirmed (the
    // values typed are then in Attributes).
    virtual bool AskAllocation(const QString& title, AllocationAttributes& attributes) {
        (void)title;
        (void)attributes;
        return false;
    }
    // The permissions dialog: nine boxes (owner, group, others; read, write, execute) starting
    // as Initial; nullopt when cancelled.
    virtual std::optional<std::array<bool, 9>> AskPermissions(const QString& title,
                                                              const std::array<bool, 9>& initial) {
        (void)title;
        (void)initial;
        return std::nullopt;
    }

    // The select-script dialog pre-filled with Initial; empty when cancelled.
    virtual QString AskScriptFileName(const QString& initial) {
        (void)initial;
        return QString();
    }
    // The script view: the displayed log fills the window, the file lists and their controls
    // are hidden; false returns to the normal layout.
    virtual void ShowScriptView(bool on) { (void)on; }
    // Label 0 is the script label, 1 to 4 the information labels of the script view.
    virtual void SetScriptLabel(int index, const QString& text) {
        (void)index;
        (void)text;
    }
    virtual void ClearLog() {}
    // EXIT VORLEN: the program ends (the window closes; an unattended run returns).
    virtual void CloseMainWindow() {}

    // The names of the selected rows of the local list.
    virtual QStringList SelectedLocalNames() const { return {}; }
    // The procmail confirmation dialog, centred over the main window (Browse for dir works
    // inside it). Interfaces without one answer No.
    virtual ProcmailAnswer AskProcmail(const ProcmailQuery& query) {
        return {ProcmailChoice::No, query.directory};
    }

    // The question about a file of a batch that exists on the target. Interfaces without one
    // overwrite, as a batch always did.
    virtual ExistingFileAnswer AskExistingFile(const ExistingFileQuery& query) {
        (void)query;
        return {};
    }

    // "Upload the changed file NAME to the server?" after a file edited in place was saved, with
    // "Always for this file". Interfaces without the question keep the change here.
    virtual EditedUpload AskUploadEdited(const QString& name) {
        (void)name;
        return EditedUpload::Keep;
    }

    // The comparison of Synchronise, with the direction and deletion choices. Interfaces without
    // the window run nothing.
    virtual SyncAnswer AskSynchronise(const SyncQuestion& question) {
        (void)question;
        return {};
    }

    // "Set Log Processing Options" for one run; false when cancelled. Interfaces without the
    // dialog keep the options as they are.
    virtual bool AskAboutLogs(LogOptions& options) {
        (void)options;
        return true;
    }
    // The web traffic report of a log CSV just written, beside the window. Interfaces without
    // one show nothing.
    virtual void ShowLogReport(const QString& csvPath) { (void)csvPath; }

    // Convenience forms used throughout the program.
    void StatusBarGeneral(const QString& text) { SetStatusPanel(StatusPanel::General, text); }
    QString StatusBarGeneralText() const { return StatusPanelText(StatusPanel::General); }
    ModalResult Warning(const QString& text) {
        return ColorMsgDlg(text, MsgDlgType::Warning, MsgDlgBtn::OK);
    }
    bool ConfirmYesNo(const QString& text) {
        return ColorMsgDlg(text, MsgDlgType::Confirmation, MsgDlgBtn::Yes | MsgDlgBtn::No) ==
               ModalResult::Yes;
    }
};

// Texts padded with blanks on the right to 20 characters, so a message box has a usable width.
inline QString PadMessage(const QString& text) {
    return text.size() < 20 ? text.leftJustified(20, ' ') : text;
}
