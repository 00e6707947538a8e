#pragma once

#include <QList>
#include <QMap>
#include <QQueue>
#include <QStringList>
#include <functional>
#include <optional>

#include "listing/zos_names.h"
#include "runtime/user_interface.h"

// A UserInterface without windows: dialogs and input boxes are answered from queues of prepared
// answers, and every message, log line and status text is recorded. Used by tests and by
// unattended runs. An unanswered dialog returns its default (OK when offered, else No/Cancel),
// an unanswered input box is cancelled.
class ScriptedUserInterface : public UserInterface {
public:
    struct Message {
        QString text;
        MsgDlgType type;
        MsgDlgButtons buttons;
    };

    // Prepared answers, taken in order.
    QQueue<ModalResult> dialogAnswers;
    // Answers by text: a dialog whose text holds a key gets its answer, before the queue.
    QMap<QString, ModalResult> answersByText;
    QQueue<std::optional<QString>> inputAnswers;  // nullopt = Cancel
    QQueue<PasswordAnswer> passwordAnswers;       // empty = Cancel
    QQueue<ExistingFileAnswer> existingAnswers;   // empty = Overwrite
    QList<ExistingFileQuery> existingQueries;     // the questions asked
    QQueue<EditedUpload> editedAnswers;           // empty = Keep
    QStringList editedQuestions;                  // the names asked about
    QQueue<SyncAnswer> syncAnswers;               // empty = run nothing
    QList<SyncQuestion> syncQuestions;

    // What was shown.
    QList<Message> messages;
    QStringList inputPrompts;
    QStringList logLines;       // the texts as given, without the time
    QStringList statusHistory;  // every text written to the general panel
    QString panels[kStatusPanelCount];
    QString caption;
    ConnectionLight light = ConnectionLight::Red;
    int busyDepth = 0;
    int disableCount = 0;
    int enableCount = 0;
    int processMessagesCount = 0;
    int progress = -1;     // -1 while hidden
    QString abortCaption;  // empty while hidden
    int localRefreshes = 0;
    int remoteRefreshes = 0;
    int siteSettingsChanges = 0;
    QStringList passwordPrompts;  // "line1|line2" of every password dialog

    // Echo log lines to standard error as they arrive (unattended runs).
    bool echoLog = false;

    ModalResult ColorMsgDlg(const QString& text, MsgDlgType type, MsgDlgButtons buttons) override;
    void ShowColorMsg(const QString& text) override;
    bool InputQuery(const QString& title, const QString& prompt, QString& value) override;
    void SetStatusPanel(StatusPanel panel, const QString& text) override;
    QString StatusPanelText(StatusPanel panel) const override;
    void LogText(const QString& text) override;
    void SetConnectionLight(ConnectionLight l) override { light = l; }
    void SetProgress(int percent) override { progress = percent; }
    void HideProgress() override { progress = -1; }
    void ShowAbortButton(const QString& c) override { abortCaption = c; }
    void HideAbortButton() override { abortCaption.clear(); }
    void DisableGridsEtc() override;
    void EnableGridsEtc() override;
    void RefreshLocalList() override { ++localRefreshes; }
    void RefreshRemoteList() override { ++remoteRefreshes; }
    void SetCaption(const QString& c) override { caption = c; }
    void ProcessMessages() override;
    void SiteSettingsChanged() override { ++siteSettingsChanges; }
    PasswordAnswer AskPassword(const QString& line1, const QString& line2) override;
    ExistingFileAnswer AskExistingFile(const ExistingFileQuery& query) override {
        existingQueries << query;
        return existingAnswers.isEmpty() ? ExistingFileAnswer{} : existingAnswers.dequeue();
    }

    EditedUpload AskUploadEdited(const QString& name) override {
        editedQuestions << name;
        return editedAnswers.isEmpty() ? EditedUpload::Keep : editedAnswers.dequeue();
    }

    SyncAnswer AskSynchronise(const SyncQuestion& question) override {
        syncQuestions << question;
        return syncAnswers.isEmpty() ? SyncAnswer{} : syncAnswers.dequeue();
    }

    void ShowConnectCaption(const QString& c) override { connectCaption = c; }
    void Trace(const QString& line) override {
        traceLines << line;
        UserInterface::Trace(line);
    }
    QStringList traceLines;
    bool ResumeTicked() const override { return resumeTicked; }
    void SetResumeTicked(bool ticked) override { resumeTicked = ticked; }
    void SetResumeOptionVisible(bool visible) override { resumeVisible = visible; }
    void ShowRemoteListingLook(const QString& column1, const QString& column2,
                               bool mkDirVisible) override {
        remoteCaptions = {column1, column2};
        mkDirShown = mkDirVisible;
    }
    void SetTransferModeIndex(int index) override { transferModeIndex = index; }
    void RefreshRemoteDirBox() override { ++remoteDirBoxRefreshes; }
    int TransferModeIndex() const override { return transferModeIndex; }
    bool AskAllocation(const QString& title, AllocationAttributes& attributes) override;
    std::optional<std::array<bool, 9>> AskPermissions(const QString& title,
                                                      const std::array<bool, 9>& initial) override;
    // Answers of the allocation and permissions dialogs (empty queue, nullopt: Cancel) and
    // what they were shown.
    QQueue<std::optional<AllocationAttributes>> allocationAnswers;
    QStringList allocationTitles;
    QQueue<std::optional<std::array<bool, 9>>> permissionAnswers;
    QStringList permissionTitles;
    QList<std::array<bool, 9>> permissionStarts;

    QString AskScriptFileName(const QString& initial) override;
    void ShowScriptView(bool on) override {
        scriptView = on;
        ++scriptViewChanges;
    }
    void SetScriptLabel(int index, const QString& text) override { scriptLabels[index] = text; }
    void ClearLog() override { ++logClears; }
    void CloseMainWindow() override { ++closeRequests; }
    QStringList SelectedLocalNames() const override { return selectedLocal; }
    ProcmailAnswer AskProcmail(const ProcmailQuery& query) override {
        procmailQueries.append(query);
        return procmailAnswers.isEmpty() ? ProcmailAnswer{ProcmailChoice::No, query.directory}
                                         : procmailAnswers.dequeue();
    }
    bool AskAboutLogs(LogOptions& options) override {
        ++logOptionQueries;
        if (editLogOptions) {
            editLogOptions(options);
        }
        return acceptLogOptions;
    }
    int logOptionQueries = 0;
    bool acceptLogOptions = true;
    std::function<void(LogOptions&)> editLogOptions;
    QStringList selectedLocal;
    QQueue<ProcmailAnswer> procmailAnswers;
    QList<ProcmailQuery> procmailQueries;
    // Answers of the select-script dialog (empty queue: Cancel) and what it was shown.
    QQueue<QString> scriptFileAnswers;
    QStringList scriptFilePrompts;
    bool scriptView = false;
    int scriptViewChanges = 0;
    QString scriptLabels[5];
    int logClears = 0;
    int closeRequests = 0;

    QString connectCaption = "Connect";
    bool resumeTicked = false;
    bool resumeVisible = true;
    QStringList remoteCaptions = {"Permissions", "Size"};
    bool mkDirShown = true;
    int transferModeIndex = 0;
    int remoteDirBoxRefreshes = 0;

    // The texts of all messages shown, in order.
    QStringList MessageTexts() const;
};
