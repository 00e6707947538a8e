#pragma once

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTreeView>
#include <functional>
#include <memory>
#include <optional>

#include "app/app_core.h"
#include "runtime/user_interface.h"
#include "ui/base/color_button.h"
#include "ui/model/colour_theme.h"
#include "ui/radio_group.h"

class LocalPaneView;
class RemotePaneView;
class SessionView;
class TransferView;
class ScriptView;
class QSplitter;
class TfrmLogin;
class TfrmHelp;

// The main window: owner of the program's state (through AppCore) and the widget implementation
// of UserInterface. Its controls carry the product's names and are public so that each command's
// subject wires its own buttons, menu entries and lists.
class TfrmMain : public QMainWindow, public UserInterface {
    Q_OBJECT
public:
    explicit TfrmMain(const QStringList& arguments, QWidget* parent = nullptr);
    ~TfrmMain() override;

    AppCore& Core() { return *m_core; }
    // The buttons, menu entries and drops of transfers and remote file operations.
    TransferView& TransferViewOfWindow() { return *m_transferView; }
    TfrmLogin* LoginDialog() { return m_login; }

    // UserInterface
    ModalResult ColorMsgDlg(const QString& text, MsgDlgType type, MsgDlgButtons buttons) override;
    void ShowColorMsg(const QString& text) override;
    bool InputQuery(const QString& title, const QString& prompt, QString& value) override;
    void SetStatusPanel(StatusPanel panel, const QString& text) override;
    QString StatusPanelText(StatusPanel panel) const override;
    void LogText(const QString& text) override;
    void SetConnectionLight(ConnectionLight light) override;
    ConnectionLight CurrentConnectionLight() const { return m_light; }
    void SetProgress(int percent) override;
    void HideProgress() override;
    void ShowAbortButton(const QString& caption) override;
    void HideAbortButton() override;
    void DisableGridsEtc() override;
    void EnableGridsEtc() override;
    void RefreshLocalList() override;
    void RefreshRemoteList() override;
    void SetCaption(const QString& caption) override;
    void ProcessMessages() override;
    void SiteSettingsChanged() override;
    PasswordAnswer AskPassword(const QString& line1, const QString& line2) override;
    void ShowConnectCaption(const QString& caption) override;
    void ShowLoginDialog() override;
    bool ResumeTicked() const override;
    void SetResumeTicked(bool ticked) override;
    void SetResumeOptionVisible(bool visible) override;
    void ShowRemoteListingLook(const QString& column1, const QString& column2,
                               bool mkDirVisible) override;
    void SetTransferModeIndex(int index) override;
    void RefreshRemoteDirBox() override;
    int TransferModeIndex() const override;
    bool AskAllocation(const QString& title, AllocationAttributes& attributes) override;
    ExistingFileAnswer AskExistingFile(const ExistingFileQuery& query) override;
    EditedUpload AskUploadEdited(const QString& name) override;
    SyncAnswer AskSynchronise(const SyncQuestion& question) override;
    std::optional<std::array<bool, 9>> AskPermissions(const QString& title,
                                                      const std::array<bool, 9>& initial) override;
    QString AskScriptFileName(const QString& initial) override;
    // Names of the selected local rows, in list order (".." rows excluded).
    QStringList SelectedLocalNames() const override;
    ProcmailAnswer AskProcmail(const ProcmailQuery& query) override;
    bool AskAboutLogs(LogOptions& options) override;
    // Opens a TfrmLogReport over CsvPath, not modal; it is deleted when closed.
    void ShowLogReport(const QString& csvPath) override;
    void ShowScriptView(bool on) override;
    void SetScriptLabel(int index, const QString& text) override;
    void ClearLog() override;
    // Queued, so that the script or request that asks for it unwinds first.
    void CloseMainWindow() override;

    // True once the window has finished starting (settings mirrored into controls are then
    // written back when the person changes them).
    bool Created() const { return m_created; }

    // The colour theme from the desktop's title-bar colour and the colours in force.
    void SetFormColour();
    ColourTheme CurrentTheme() const;
    QString CurrentColourText() const;
    QColor WindowColour() const { return m_windowColour; }
    // Gives a dialog the window's colour and its buttons the button colours.
    void ApplyColoursTo(QWidget* widget) const;
    // Colours a dialog and places it over the middle of the window, before it is shown.
    void PlaceCentred(QWidget& dialog) const;

    // Lays the panes out again: the default-directory buttons' captions follow the pane width.
    void ResizeActions();
    // Keeps the whole frame (title bar included) inside the screen's available area.
    void FitFrameToScreen();
    // A list's default width at the default window size: the columns' defaults add up to it.
    static constexpr int kDefaultListWidth = 390;

    // The first activation: colours, the login dialog, saving, the unconnected start.
    void FormActivate();
    // File > Exit and the Exit button.
    void ExitActions();
    void btnCloseClick();
    // Right-click > Edit and F4 on the remote list.
    void EditRemoteClick();
    void NewLoginClick();
    void OptionsClick();
    void HelpClick();
    // Opens the help text window of one topic ("Login", "Main", ...).
    void ShowHelpTopic(const QString& topic);
    TfrmHelp* HelpWindow() { return m_help; }
    // Copies the settings into the radio groups, check boxes and favourite button.
    void ApplySettingsToControls();
    // Enables or disables the three Tools entries from LogsEnabled.
    void ApplyLogsEnabled();

    // Controls.
    QTreeView* lvLocalFiles = nullptr;
    QTreeView* lvRemote = nullptr;
    // Above each list: the filter box and the hidden-files toggle.
    QLineEdit* edtLocalFilter = nullptr;
    QCheckBox* chkLocalHidden = nullptr;
    QLineEdit* edtRemoteFilter = nullptr;
    QCheckBox* chkRemoteHidden = nullptr;
    QComboBox* cmbxLocalDir = nullptr;
    QComboBox* cmbxRemDir = nullptr;
    RadioGroup* rgrpLocalSort = nullptr;
    RadioGroup* rgrpLocalSeq = nullptr;
    RadioGroup* rgrpRemoteSort = nullptr;
    RadioGroup* rgrpRemoteSeq = nullptr;
    RadioGroup* rgrpTransferMode = nullptr;
    RadioGroup* rgrpLink = nullptr;
    QCheckBox* chkbxResumeIntXfer = nullptr;
    QCheckBox* chkbxLCUpload = nullptr;
    QCheckBox* chkbxAutoRefresh = nullptr;
    QLabel* lblGreenLight = nullptr;
    QLabel* lblAmberLight = nullptr;
    QLabel* lblRedLight = nullptr;
    QPlainTextEdit* memMsgs = nullptr;
    QProgressBar* progTransfer = nullptr;
    QSplitter* splMain = nullptr;  // the panes above, the displayed log below
    QWidget* pnlScript = nullptr;
    QLabel* lblScript = nullptr;
    QLabel* lblScript1 = nullptr;
    QLabel* lblScript2 = nullptr;
    QLabel* lblScript3 = nullptr;
    QLabel* lblScript4 = nullptr;
    QLabel* lblLocalFileInfo = nullptr;
    QLabel* lblRemFileInfo = nullptr;
    QWidget* pnlLocal = nullptr;
    QWidget* pnlRemote = nullptr;

    TColorButton* btnConnect = nullptr;
    TColorButton* btnClose = nullptr;
    TColorButton* btnAbortTransfer = nullptr;
    TColorButton* btnUpload = nullptr;
    TColorButton* btnDownload = nullptr;
    TColorButton* btnSync = nullptr;  // Synchronise, as Tools > Synchronise
    TColorButton* btnOpenLoc = nullptr;
    TColorButton* btnRenameLoc = nullptr;
    TColorButton* btnDeleteLoc = nullptr;
    TColorButton* btnOpenAsText = nullptr;
    TColorButton* btnChmodRem = nullptr;
    TColorButton* btnRenameRem = nullptr;
    TColorButton* btnDeleteRem = nullptr;
    TColorButton* btnRefreshLocal = nullptr;
    TColorButton* btnBrowse = nullptr;
    TColorButton* btnNewLocalDir = nullptr;
    TColorButton* btnDefLocal = nullptr;
    TColorButton* btnRefreshRemote = nullptr;
    TColorButton* btnHome = nullptr;
    TColorButton* btnMkDir = nullptr;
    TColorButton* btnFavorite = nullptr;
    TColorButton* btnDefRemote = nullptr;

    QMenu* mnuFile = nullptr;
    QMenu* mnuOptions = nullptr;
    QMenu* mnuTools = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuNewLogin = nullptr;
    QAction* mnuConnect = nullptr;
    QAction* mnuDisconnect = nullptr;
    QAction* mnuExit = nullptr;
    QAction* mnuSettings = nullptr;
    QAction* mnuSynchronise = nullptr;
    QAction* mnuLogRetrieval = nullptr;
    QAction* mnuLogProcessing = nullptr;
    QAction* mnuLogReport = nullptr;  // Tools > Web Traffic Report
    QAction* mnuRunScript = nullptr;
    QAction* mnuHelpHelp = nullptr;
    QAction* mnuAbout = nullptr;
    // Help > About: the name, the version and what the program is for.
    static QString AboutText();

    // Context menus of the two lists.
    QMenu* pmnuLocal = nullptr;
    QMenu* pmnuRemote = nullptr;
    // Right-click menu of the Connect button and the connection light.
    QMenu* pmnuConnect = nullptr;
    QAction* mnuConnect2 = nullptr;
    QAction* mnuDisconnect2 = nullptr;

    // Every button of the window (the busy state disables all but Cancel).
    QList<TColorButton*> AllButtons() const;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The file-manager keys of the two lists; true when Key was taken.
    bool ListKey(QTreeView* list, const QKeyEvent& event);
    // The views over the subjects, each given the controls it works.
    void CreateViews();
    void BuildMenus();
    QWidget* BuildLocalPane();
    QWidget* BuildRemotePane();
    QWidget* BuildMiddleColumn();
    QWidget* BuildScriptPanel();
    void WireSettingsControls();
    void SyncWindowMetrics();
    void SetDefaultColumnWidths();
    QList<QWidget*> BusyControls() const;
    QList<QAction*> BusyActions() const;

    std::unique_ptr<AppCore> m_core;
    TfrmLogin* m_login = nullptr;
    TfrmHelp* m_help = nullptr;
    LocalPaneView* m_localView = nullptr;
    RemotePaneView* m_remoteView = nullptr;
    SessionView* m_sessionView = nullptr;
    TransferView* m_transferView = nullptr;
    ScriptView* m_scriptView = nullptr;
    QLabel* m_panels[kStatusPanelCount] = {};
    ConnectionLight m_light = ConnectionLight::Red;
    QColor m_windowColour;
    bool m_created = false;
    std::optional<QPoint> m_savedPlace;  // where the window was left, when known
    bool m_closing = false;
    // The window was closed while a script ran: it closes once the script has stopped.
    bool m_closeAfterScript = false;
    // Exit has already asked about edited files with unsent changes.
    bool m_editsAsked = false;
};
