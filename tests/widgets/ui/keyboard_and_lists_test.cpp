#include <gtest/gtest.h>

#include <QDir>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

#include "panes/local_pane.h"
#include "ui/base/message_box.h"
#include "ui/frm_colour.h"
#include "ui/frm_help.h"
#include "ui/frm_login.h"
#include "ui/frm_options.h"
#include "widget_test_support.h"

namespace {

QStringList ShownNames(TfrmMain& m) {
    QStringList names;
    QAbstractItemModel* model = m.lvLocalFiles->model();
    for (int r = 0; r < model->rowCount(); ++r) {
        names << model->index(r, 0).data().toString();
    }
    return names;
}

// A real click on a heading: press and release over the section, as the mouse does it.
void ClickHeading(QTreeView* list, int section) {
    QHeaderView* header = list->header();
    const QPoint at(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                    header->height() / 2);
    const QPointF global = header->viewport()->mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(header->viewport(), &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(header->viewport(), &release);
}

// Types Text into Widget key by key, as the keyboard does it.
void Type(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

void PressKey(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(widget, &release);
}

}  // namespace

TEST(LocalDirectoryBox, EnterGoesToWhatWasTypedNotARememberedSubFolder) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    m.Core().firstActivation = false;  // no login dialog
    m.show();
    TestFolder files;
    QDir(files.Path()).mkpath("project/src");
    LocalPane& pane = *m.Core().localPane;
    ASSERT_TRUE(pane.SelectDirectory(files.File("project/src")));  // now remembered
    ASSERT_TRUE(pane.SelectDirectory(files.Path()));
    ASSERT_TRUE(pane.RememberedDirs().contains(files.File("project/src")));

    QLineEdit* edit = m.cmbxLocalDir->lineEdit();
    m.activateWindow();  // completion acts only in the focused box of the active window
    QApplication::processEvents();
    edit->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(edit->hasFocus());
    edit->selectAll();
    PressKey(edit, Qt::Key_Backspace);
    Type(edit, files.File("project"));
    EXPECT_EQ(edit->text(), files.File("project"));  // nothing completed in
    PressKey(edit, Qt::Key_Return);
    EXPECT_EQ(pane.CurrentDir(), files.File("project"));
    EXPECT_EQ(m.cmbxLocalDir->currentText(), files.File("project"));

    // The drop-down still offers the remembered folders.
    const int row = m.cmbxLocalDir->findText(files.File("project/src"));
    ASSERT_GE(row, 0);
    emit m.cmbxLocalDir->activated(row);
    EXPECT_EQ(pane.CurrentDir(), files.File("project/src"));
}

TEST(Headings, ClicksSortTheLocalListAndReachTheRemotePane) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    m.Core().firstActivation = false;  // no login dialog
    m.show();
    TestFolder files;
    QDir(files.Path()).mkdir("sub");
    files.Write("big.txt", QByteArray(1500, 'x'));
    files.Write("a_small.txt", "x");
    LocalPane& pane = *m.Core().localPane;
    ASSERT_TRUE(pane.SelectDirectory(files.Path()));
    QApplication::processEvents();
    EXPECT_EQ(ShownNames(m), QStringList({"..", "sub", "a_small.txt", "big.txt"}));

    ClickHeading(m.lvLocalFiles, 1);  // Size: sorted by size, ascending
    EXPECT_EQ(m.rgrpLocalSort->ItemIndex(), 2);
    EXPECT_EQ(m.rgrpLocalSeq->ItemIndex(), 0);
    EXPECT_EQ(ShownNames(m), QStringList({"..", "sub", "a_small.txt", "big.txt"}));
    EXPECT_EQ(m.lvLocalFiles->header()->sortIndicatorSection(), 1);
    ClickHeading(m.lvLocalFiles, 1);  // the same key again flips the sequence
    EXPECT_EQ(m.rgrpLocalSeq->ItemIndex(), 1);
    EXPECT_EQ(ShownNames(m), QStringList({"..", "sub", "big.txt", "a_small.txt"}));
    EXPECT_EQ(m.lvLocalFiles->header()->sortIndicatorOrder(), Qt::DescendingOrder);
    ClickHeading(m.lvLocalFiles, 0);  // another key keeps the sequence
    EXPECT_EQ(m.rgrpLocalSort->ItemIndex(), 0);
    EXPECT_EQ(m.rgrpLocalSeq->ItemIndex(), 1);
    EXPECT_EQ(ShownNames(m), QStringList({"..", "sub", "big.txt", "a_small.txt"}));
    EXPECT_EQ(m.Core().settings.site.localSortIndex, 0);
    EXPECT_EQ(m.Core().settings.site.localSortAscInd, 1);

    // The remote heading reaches the remote pane's rule the same way (modified is key 4).
    ClickHeading(m.lvRemote, 3);
    EXPECT_EQ(m.rgrpRemoteSort->ItemIndex(), 4);
    EXPECT_EQ(m.lvRemote->header()->sortIndicatorSection(), 3);
    ClickHeading(m.lvRemote, 3);
    EXPECT_EQ(m.rgrpRemoteSeq->ItemIndex(), 1);
}

TEST(LoginKeyboard, FocusOnTheFirstEmptyFieldAndTabTopToBottom) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    m.Core().firstActivation = false;  // the dialog is shown on its own
    TfrmLogin* login = m.LoginDialog();
    login->show();
    QApplication::processEvents();
    EXPECT_EQ(login->focusWidget(), login->edtUserid);
    login->hide();

    login->edtUserid->setText("me");
    login->show();
    EXPECT_EQ(login->focusWidget(), login->edtPassword);
    login->hide();
    login->edtPassword->setText("pw");
    login->edtDomainNameOrIP->setText("example.org");
    login->show();
    EXPECT_EQ(login->focusWidget(), login->btnOK);

    // Tab from the site list reaches the user id, then the fields in order.
    EXPECT_EQ(login->cboRemoteSite->nextInFocusChain(), login->edtUserid);
    QWidget* expected[] = {login->edtUserid,
                           login->edtPassword,
                           login->chkRememberPassword,
                           login->edtDomainNameOrIP,
                           login->cboConnectionType,
                           login->cboTimeout,
                           login->cboSSH,
                           login->chkPassive,
                           login->cboFtpTls,
                           login->chkMachineListings,
                           login->btnOK};
    login->cboRemoteSite->setFocus();
    for (QWidget* w : expected) {
        PressKey(login->focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(login->focusWidget(), w) << w->metaObject()->className();
    }
    login->hide();
}

TEST(LoginKeyboard, ProxyRowsGiveTheirHeightBack) {
    MainWindowFixture f;
    TfrmLogin* login = f.Create().LoginDialog();
    f.main->Core().firstActivation = false;  // the dialog is shown on its own
    login->PlaceLogin();
    login->show();
    QApplication::processEvents();
    const int direct = login->height();
    login->cboConnectionType->setCurrentIndex(1);
    QApplication::processEvents();
    EXPECT_GT(login->height(), direct);
    login->cboConnectionType->setCurrentIndex(0);
    QApplication::processEvents();
    EXPECT_EQ(login->height(), direct);
    login->hide();
}

TEST(LoginKeyboard, DomainHintAndLabelsUnchanged) {
    MainWindowFixture f;
    TfrmLogin* login = f.Create().LoginDialog();
    EXPECT_TRUE(login->edtDomainNameOrIP->placeholderText().contains(":port"));
    EXPECT_TRUE(login->edtDomainNameOrIP->toolTip().contains("port"));
    QStringList labels;
    for (QLabel* l : login->findChildren<QLabel*>()) {
        labels << l->text();
    }
    EXPECT_TRUE(labels.contains("Domain:"));
}

TEST(LoginKeyboard, SshSwitchShowsTheSecureConnection) {
    MainWindowFixture f;
    TfrmMain& m = f.Create({"-h"});
    TfrmLogin* login = m.LoginDialog();
    EXPECT_EQ(login->cboSSH->currentIndex(), 1);
    EXPECT_FALSE(login->chkPassive->isVisibleTo(login));
    login->edtUserid->setText("me");
    login->edtPassword->setText("pw");
    login->edtDomainNameOrIP->setText("example.org");
    login->btnOKClick();
    EXPECT_TRUE(m.Core().settings.sshMode);
    EXPECT_FALSE(m.Core().settings.site.ssh);  // -h is for this run, not stored with the site
}

TEST(WindowTitles, DialogsAndHelpWindowsAreWideEnoughForTheirTitles) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    m.Core().firstActivation = false;
    QList<QWidget*> windows = {m.HelpWindow(), m.HelpWindow()->ShowTopic("Log Processing")};
    TfrmColour colour(&m, ColourTheme::Olive, "10 20 30", false);
    TfrmOptions options(m);
    windows << &colour << &options;
    for (QWidget* w : windows) {
        w->show();
        QApplication::processEvents();
        EXPECT_GE(w->width(), TitleBarWidth(w->windowTitle())) << w->windowTitle().toStdString();
        EXPECT_GT(TitleBarWidth(w->windowTitle()),
                  w->fontMetrics().horizontalAdvance(w->windowTitle()));
        w->hide();
    }
}
