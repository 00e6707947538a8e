// What a new user met in the window: the log that follows, the keys of the lists, the menu of
// the connection controls and the window placed where it was left.
#include <gtest/gtest.h>

#include <QDialog>
#include <QDir>
#include <QScreen>
#include <QScrollBar>

#include "config/cfg_file.h"
#include "panes/local_pane.h"
#include "widget_test_support.h"

TEST(LogFollowing, FollowsNewLinesOnlyWhileScrolledToTheEnd) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    m.Core().firstActivation = false;
    m.show();
    for (int i = 0; i < 300; ++i) {
        m.LogText("line " + QString::number(i));
    }
    QApplication::processEvents();
    QScrollBar* bar = m.memMsgs->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());

    // Scrolled up: new lines leave the view where the person put it.
    bar->setValue(10);
    m.LogText("while reading");
    EXPECT_EQ(bar->value(), 10);

    // Back at the end, with the text cursor left somewhere above by a click: it follows again.
    QTextCursor cursor = m.memMsgs->textCursor();
    cursor.setPosition(5);
    m.memMsgs->setTextCursor(cursor);
    bar->setValue(bar->maximum());
    for (int i = 0; i < 5; ++i) {
        m.LogText("after " + QString::number(i));
        EXPECT_EQ(bar->value(), bar->maximum());
    }
}

TEST(ListKeys, FileManagerKeysRunTheListCommands) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    TestFolder files;
    QDir(files.Path()).mkdir("sub");
    files.Write("a.txt", "x");
    ASSERT_TRUE(m.Core().localPane->SelectDirectory(files.Path()));
    int renames = 0, refreshes = 0, remoteRenames = 0;
    QObject::connect(m.btnRenameLoc, &QPushButton::clicked, [&] { ++renames; });
    QObject::connect(m.btnRefreshLocal, &QPushButton::clicked, [&] { ++refreshes; });
    QObject::connect(m.btnRenameRem, &QPushButton::clicked, [&] { ++remoteRenames; });
    auto key = [](QWidget* list, int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent press(QEvent::KeyPress, k, mods);
        QApplication::sendEvent(list, &press);
    };
    key(m.lvLocalFiles, Qt::Key_F5);
    EXPECT_EQ(refreshes, 1);
    WhenModal([](QWidget* box) { static_cast<QDialog*>(box)->reject(); });  // nothing selected
    key(m.lvLocalFiles, Qt::Key_F2);
    EXPECT_EQ(renames, 1);
    WhenModal([](QWidget* box) { static_cast<QDialog*>(box)->reject(); });  // not connected
    key(m.lvRemote, Qt::Key_F2);
    EXPECT_EQ(remoteRenames, 1);

    // Enter on a folder goes into it, Backspace back up.
    QAbstractItemModel* model = m.lvLocalFiles->model();
    int sub = -1;
    for (int r = 0; r < model->rowCount(); ++r) {
        sub = model->index(r, 0).data().toString() == "sub" ? r : sub;
    }
    ASSERT_GE(sub, 0);
    m.lvLocalFiles->setCurrentIndex(model->index(sub, 0));
    key(m.lvLocalFiles, Qt::Key_Return);
    EXPECT_EQ(QDir(m.Core().localPane->CurrentDir()).dirName(), "sub");
    key(m.lvLocalFiles, Qt::Key_Backspace);
    EXPECT_EQ(QDir::cleanPath(m.Core().localPane->CurrentDir()), QDir::cleanPath(files.Path()));

    // Ctrl+A selects every row.
    key(m.lvLocalFiles, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(m.lvLocalFiles->selectionModel()->selectedRows().size(),
              m.lvLocalFiles->model()->rowCount());
}

TEST(ConnectMenu, RightClickOnTheButtonOrTheLightOffersConnectAndDisconnect) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    ASSERT_NE(m.pmnuConnect, nullptr);
    QStringList texts;
    for (const QAction* a : m.pmnuConnect->actions()) {
        texts << a->text();
    }
    EXPECT_EQ(texts, QStringList({"Connect", "Disconnect"}));
    for (QWidget* w : {static_cast<QWidget*>(m.btnConnect), m.lblRedLight->parentWidget()}) {
        EXPECT_EQ(w->contextMenuPolicy(), Qt::CustomContextMenu);
        emit w->customContextMenuRequested(QPoint(2, 2));
        EXPECT_TRUE(m.pmnuConnect->isVisible());
        m.pmnuConnect->hide();
    }
    // Busy: neither may start a second login inside the first.
    m.DisableGridsEtc();
    EXPECT_FALSE(m.mnuConnect2->isEnabled());
    EXPECT_FALSE(m.mnuDisconnect2->isEnabled());
    m.EnableGridsEtc();
    EXPECT_TRUE(m.mnuConnect2->isEnabled());
}

TEST(WindowPlacement, SizePlaceAndMaximisedStateComeBack) {
    const QRect area = (App(), QGuiApplication::primaryScreen()->availableGeometry());
    struct Saved {
        QString state, left, top, width, height;
    };
    auto start = [](MainWindowFixture& f, const Saved& s) -> TfrmMain& {
        CfgFile cfg(f.dir.File("VorlenFTP.cfg"));
        cfg.PutCfgFileSetting("Common", "WindowState", s.state);
        cfg.PutCfgFileSetting("Common", "WindowLeft", s.left);
        cfg.PutCfgFileSetting("Common", "WindowTop", s.top);
        cfg.PutCfgFileSetting("Common", "WindowWidth", s.width);
        cfg.PutCfgFileSetting("Common", "WindowHeight", s.height);
        EXPECT_TRUE(cfg.SaveCfgFile());
        TfrmMain& m = f.Create();
        m.Core().firstActivation = false;
        m.show();
        QApplication::processEvents();
        return m;
    };
    // (The test screen is narrower than the window's least width: the height and the top
    // are what can be kept as saved.)
    {
        MainWindowFixture f;
        TfrmMain& m = start(f, {"0", "40", "30", "700", "560"});
        EXPECT_FALSE(m.isMaximized());
        EXPECT_EQ(m.height(), 560);
        EXPECT_EQ(m.y(), 30);
    }
    {
        MainWindowFixture f;
        TfrmMain& m = start(f, {"2", "40", "30", "700", "560"});
        EXPECT_TRUE(m.isMaximized());
    }
    {
        // Left by a larger screen: the frame is fitted into this one.
        MainWindowFixture f;
        TfrmMain& m = start(f, {"0", "40", QString::number(area.bottom() + 500), "700", "560"});
        EXPECT_LE(m.frameGeometry().bottom(), area.bottom());
        EXPECT_GE(m.frameGeometry().top(), area.top());
    }
}
