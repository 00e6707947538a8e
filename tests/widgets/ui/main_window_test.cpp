#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QStatusBar>

#include "platform/platform.h"
#include "ui/frm_login.h"
#include "ui/model/placement.h"
#include "widget_test_support.h"

namespace {

QStringList Items(RadioGroup* group) {
    QStringList items;
    for (int i = 0; i < group->Count(); ++i) {
        items.append(group->Button(i)->text());
    }
    return items;
}

QStringList Headers(QTreeView* list) {
    QStringList headers;
    for (int i = 0; i < list->model()->columnCount(); ++i) {
        headers.append(list->model()->headerData(i, Qt::Horizontal).toString());
    }
    return headers;
}

QStringList ActionTexts(QMenu* menu) {
    QStringList texts;
    for (QAction* a : menu->actions()) {
        if (!a->isSeparator()) {
            texts.append(a->text());
        }
    }
    return texts;
}

}  // namespace

TEST(MainWindow, ControlsCarryTheirCaptions) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    EXPECT_EQ(Headers(m.lvLocalFiles), QStringList({"     Filename", "Size", "Modified"}));
    EXPECT_EQ(Headers(m.lvRemote), QStringList({"Remote name", "Permissions", "Size", "Modified"}));
    EXPECT_EQ(m.lvRemote->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(Items(m.rgrpLocalSort), QStringList({"name", "xtn", "size", "mod"}));
    EXPECT_EQ(Items(m.rgrpRemoteSort), QStringList({"name", "xtn", "perm", "size", "mod"}));
    EXPECT_EQ(Items(m.rgrpLocalSeq), QStringList({"A", "D"}));
    EXPECT_EQ(Items(m.rgrpRemoteSeq), QStringList({"A", "D"}));
    EXPECT_EQ(m.rgrpTransferMode->title(), "Transfer");
    EXPECT_EQ(Items(m.rgrpTransferMode), QStringList({"Auto", "Text", "Binary"}));
    EXPECT_EQ(m.rgrpLink->title(), "Treat remote links as:");
    EXPECT_EQ(Items(m.rgrpLink), QStringList({"Directory", "File", "File if dot in name"}));
    EXPECT_EQ(m.chkbxLCUpload->text(), "Lowercase");
    EXPECT_EQ(m.chkbxAutoRefresh->text(), "Auto refresh dir list after upload");
    EXPECT_EQ(m.chkbxResumeIntXfer->text(), "Resume Interrupted Xfer");
    EXPECT_EQ(m.lblGreenLight->text(), "Connected");
    EXPECT_EQ(m.lblAmberLight->text(), "    Auto reconnect");
    EXPECT_EQ(m.lblRedLight->text(), "  Disconnected");

    const std::pair<TColorButton*, QString> buttons[] = {
        {m.btnConnect, "Connect"},       {m.btnClose, "Exit"},
        {m.btnAbortTransfer, "Cancel "}, {m.btnUpload, "==>"},
        {m.btnDownload, "<=="},          {m.btnSync, "Sync"},
        {m.btnOpenLoc, "Open"},          {m.btnRenameLoc, "Rename"},
        {m.btnDeleteLoc, "Delete"},      {m.btnOpenAsText, "Open as text"},
        {m.btnChmodRem, "Chmod"},        {m.btnRenameRem, "Rename"},
        {m.btnDeleteRem, "Delete"},      {m.btnRefreshLocal, "Refresh"},
        {m.btnBrowse, "Browse for Dir"}, {m.btnNewLocalDir, "Create new Dir"},
        {m.btnRefreshRemote, "Refresh"}, {m.btnHome, "Home"},
        {m.btnMkDir, "Create new Dir"},  {m.btnFavorite, "Favourite"}};
    for (const auto& [button, caption] : buttons) {
        EXPECT_EQ(button->text(), caption);
    }
    EXPECT_EQ(m.AllButtons().size(), 22);

    EXPECT_EQ(ActionTexts(m.mnuFile), QStringList({"New Login", "Connect", "Disconnect", "Exit"}));
    EXPECT_EQ(ActionTexts(m.mnuOptions), QStringList{"Settings"});
    EXPECT_EQ(ActionTexts(m.mnuTools),
              QStringList({"Synchronise", "Log File Retrieval", "Log File Processing",
                           "Web Traffic Report", "Run Script"}));
    EXPECT_EQ(ActionTexts(m.mnuHelp), QStringList({"Help", "About Vorlen FTP"}));
    EXPECT_TRUE(
        TfrmMain::AboutText().startsWith("Vorlen FTP version " + AppCore::GetVersionNumber()));
    EXPECT_EQ(ActionTexts(m.pmnuRemote),
              QStringList({"Download", "Edit\tF4", "Rename", "Chmod", "Delete"}));
    EXPECT_EQ(ActionTexts(m.pmnuLocal),
              QStringList({"Open", "Open as text file", "Upload", "Rename", "Delete"}));

    EXPECT_FALSE(m.progTransfer->isVisibleTo(&m));
    EXPECT_FALSE(m.pnlScript->isVisibleTo(&m));
    EXPECT_FALSE(m.btnAbortTransfer->isVisibleTo(&m));
    EXPECT_EQ(m.statusBar()->findChildren<QLabel*>().size(), kStatusPanelCount);
}

TEST(MainWindow, DeleteKeyAndContextMenusRunTheListCommands) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    int localDeletes = 0, remoteDeletes = 0, downloads = 0;
    QObject::connect(m.btnDeleteLoc, &QPushButton::clicked, [&] { ++localDeletes; });
    QObject::connect(m.btnDeleteRem, &QPushButton::clicked, [&] { ++remoteDeletes; });
    QObject::connect(m.btnDownload, &QPushButton::clicked, [&] { ++downloads; });
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    // Nothing is selected and nothing connected: each command says so in a message box.
    auto dismissNext = [] {
        WhenModal([](QWidget* box) { static_cast<QDialog*>(box)->reject(); });
    };
    dismissNext();
    QApplication::sendEvent(m.lvLocalFiles, &del);
    dismissNext();
    QApplication::sendEvent(m.lvRemote, &del);
    dismissNext();
    QApplication::sendEvent(m.lvRemote, &del);
    dismissNext();
    m.pmnuRemote->actions().first()->trigger();
    EXPECT_EQ(localDeletes, 1);
    EXPECT_EQ(remoteDeletes, 2);
    EXPECT_EQ(downloads, 1);
    m.DisableGridsEtc();
    QApplication::sendEvent(m.lvRemote, &del);  // busy: the Delete key does nothing
    EXPECT_EQ(remoteDeletes, 2);
}

TEST(MainWindow, LogLinesCarryTheTimeAndDropBlankTexts) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    m.memMsgs->clear();
    m.LogText("first");
    m.LogText("   ");
    m.LogText("");
    m.LogText("second");
    const QStringList lines = m.memMsgs->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 2);
    const QString time = QTime::currentTime().toString(platform::LongTimeFormat());
    EXPECT_TRUE(lines[0].endsWith(" first"));
    EXPECT_EQ(lines[0].size(), time.size() + 6);
    EXPECT_TRUE(lines[1].endsWith(" second"));
}

TEST(BusyState, DisablesCommandsButKeepsExitCancelAndLowercase) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    m.SetStatusPanel(StatusPanel::General, " Working");
    m.ShowAbortButton("Cancel ");
    m.SetProgress(40);
    m.DisableGridsEtc();
    EXPECT_TRUE(m.StatusBarGeneralText().isEmpty());
    EXPECT_EQ(m.cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(m.lvRemote->cursor().shape(), Qt::WaitCursor);
    for (TColorButton* b : m.AllButtons()) {
        EXPECT_EQ(b->isEnabled(), b == m.btnAbortTransfer) << b->text().toStdString();
    }
    for (QWidget* w :
         {static_cast<QWidget*>(m.cmbxLocalDir), static_cast<QWidget*>(m.cmbxRemDir),
          static_cast<QWidget*>(m.rgrpLocalSort), static_cast<QWidget*>(m.rgrpLocalSeq),
          static_cast<QWidget*>(m.rgrpRemoteSort), static_cast<QWidget*>(m.rgrpRemoteSeq),
          static_cast<QWidget*>(m.lvLocalFiles), static_cast<QWidget*>(m.lvRemote),
          static_cast<QWidget*>(m.rgrpTransferMode), static_cast<QWidget*>(m.rgrpLink),
          static_cast<QWidget*>(m.chkbxResumeIntXfer), static_cast<QWidget*>(m.chkbxAutoRefresh)}) {
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    }
    EXPECT_TRUE(m.chkbxLCUpload->isEnabled());
    for (QAction* a : {m.mnuNewLogin, m.mnuConnect, m.mnuDisconnect, m.mnuSettings,
                       m.mnuLogRetrieval, m.mnuLogProcessing, m.mnuRunScript, m.mnuHelpHelp}) {
        EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
    }
    EXPECT_TRUE(m.mnuExit->isEnabled());

    m.EnableGridsEtc();
    EXPECT_EQ(m.StatusBarGeneralText(), "Finished");
    EXPECT_NE(m.cursor().shape(), Qt::WaitCursor);
    EXPECT_FALSE(m.progTransfer->isVisibleTo(&m));
    EXPECT_EQ(m.progTransfer->value(), 0);
    EXPECT_FALSE(m.btnAbortTransfer->isVisibleTo(&m));
    for (TColorButton* b : m.AllButtons()) {
        EXPECT_TRUE(b->isEnabled()) << b->text().toStdString();
    }
    EXPECT_FALSE(m.cmbxRemDir->isEnabled());  // red light
    EXPECT_TRUE(m.mnuSettings->isEnabled());
    EXPECT_TRUE(m.mnuHelpHelp->isEnabled());
    // With logfile functions disabled the three Tools entries stay disabled.
    EXPECT_FALSE(m.mnuLogRetrieval->isEnabled());
    EXPECT_FALSE(m.mnuLogProcessing->isEnabled());
    EXPECT_FALSE(m.mnuRunScript->isEnabled());
}

TEST(BusyState, RemoteDirectoryAndToolsFollowLightAndLogsEnabled) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    m.Core().settings.common.logsEnabled = true;
    for (ConnectionLight light : {ConnectionLight::Green, ConnectionLight::Amber}) {
        m.SetConnectionLight(light);
        m.DisableGridsEtc();
        m.SetStatusPanel(StatusPanel::General, " Uploading complete");
        m.EnableGridsEtc();
        EXPECT_TRUE(m.cmbxRemDir->isEnabled());
        EXPECT_EQ(m.StatusBarGeneralText(), " Uploading complete");  // kept when not empty
    }
    EXPECT_TRUE(m.mnuLogRetrieval->isEnabled());
    EXPECT_TRUE(m.mnuRunScript->isEnabled());
    m.SetConnectionLight(ConnectionLight::Green);
    EXPECT_TRUE(m.lblGreenLight->isVisibleTo(&m));
    EXPECT_FALSE(m.lblRedLight->isVisibleTo(&m));
}

TEST(MainWindow, ControlsWriteSettingsOnlyAfterStarting) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    SiteProfile& s = m.Core().settings.site;
    s.remoteSortIndex = 3;
    s.lcUpload = false;
    s.favRemDirCaption = "Web";
    m.ApplySettingsToControls();
    EXPECT_EQ(m.rgrpRemoteSort->ItemIndex(), 3);
    EXPECT_FALSE(m.chkbxLCUpload->isChecked());
    EXPECT_EQ(m.btnFavorite->text(), "Web");
    m.rgrpTransferMode->Button(2)->click();
    m.rgrpLink->Button(0)->click();
    m.chkbxAutoRefresh->click();
    EXPECT_EQ(s.transferModeIndex, 2);
    EXPECT_EQ(s.unixLinkIndex, 0);
    EXPECT_FALSE(s.autoRefresh);
}

TEST(MessageDialogs, PlacedOverTheWindowAndPadded) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    m.setGeometry(100, 80, 1000, 640);
    QPoint shownAt;
    QSize shownSize;
    QString text;
    WhenModal([&](QWidget* w) {
        shownAt = w->frameGeometry().topLeft();
        shownSize = w->frameGeometry().size();
        text = static_cast<QMessageBox*>(w)->text();
        static_cast<QMessageBox*>(w)->button(QMessageBox::Ok)->click();
    });
    m.ShowColorMsg("Short");
    EXPECT_EQ(text, "Short               ");
    const QRect frame = m.frameGeometry();
    EXPECT_EQ(shownAt.x(), frame.left() + frame.width() / 2 - shownSize.width() / 2);
    EXPECT_EQ(shownAt.y(), frame.top() + frame.height() / 2 - shownSize.height());

    WhenModal([](QWidget* w) { static_cast<QMessageBox*>(w)->button(QMessageBox::No)->click(); });
    EXPECT_EQ(m.ColorMsgDlg("Sure?", MsgDlgType::Confirmation, MsgDlgBtn::Yes | MsgDlgBtn::No),
              ModalResult::No);
    WhenModal(
        [](QWidget* w) { static_cast<QMessageBox*>(w)->button(QMessageBox::YesToAll)->click(); });
    EXPECT_EQ(m.ColorMsgDlg("All?", MsgDlgType::Custom,
                            MsgDlgBtn::YesToAll | MsgDlgBtn::NoToAll | MsgDlgBtn::Cancel),
              ModalResult::YesToAll);
}

TEST(ColourThemeWidgets, WindowAndButtonsTakeTheThemeColours) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    ThemeColour(m.Core().settings.common.colours, m.CurrentTheme()) = "250 250 250";
    m.SetFormColour();
    EXPECT_EQ(m.WindowColour(), QColor(250, 250, 250));
    for (TColorButton* b : m.AllButtons()) {
        EXPECT_EQ(b->BackColour(), QColor(255, 255, 255));
        EXPECT_EQ(b->HoverColour(), QColor(255, 255, 255));
    }
    m.Core().settings.site.specialColours = true;
    ThemeColour(m.Core().settings.site.colours, m.CurrentTheme()) = "10 20 30";
    m.SetFormColour();
    EXPECT_EQ(m.WindowColour(), QColor(10, 20, 30));
    EXPECT_EQ(m.btnUpload->BackColour(), QColor(30, 40, 50));
    EXPECT_EQ(m.btnUpload->HoverColour(), QColor(50, 60, 70));
    EXPECT_EQ(m.LoginDialog()->btnOK->BackColour(), QColor(30, 40, 50));
}

TEST(ResizeActions, DefaultDirectoryCaptionsFollowThePaneWidth) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    m.Core().firstActivation = false;  // no login dialog here
    m.show();
    m.resize(1600, 1000);
    QApplication::processEvents();
    EXPECT_GE(m.pnlLocal->width(), kNarrowPaneWidth);
    EXPECT_EQ(m.btnDefLocal->text(), "Set as default local directory for this site");
    EXPECT_EQ(m.btnDefRemote->text(), "Set as default remote directory for this site");
    m.resize(m.minimumSizeHint().width(), 700);  // the narrowest the layout allows
    QApplication::processEvents();
    EXPECT_LT(m.pnlLocal->width(), kNarrowPaneWidth);
    EXPECT_EQ(m.btnDefLocal->text(), "Set as default dir for site");
    EXPECT_EQ(m.btnDefRemote->text(), "Set as default dir for site");
}
