// A person's first session, through the real window: pick the site in the login dialog, press
// OK, see the home directory, move around it, sort it, disconnect.
#include <gtest/gtest.h>

#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QUuid>

#include "app/app_core.h"
#include "panes/remote_pane.h"
#include "session/session.h"
#include "support/headless_program.h"
#include "support/server_env.h"
#include "ui/frm_login.h"
#include "widget_test_support.h"
#include "window_login.h"

namespace {

// A folder under the vsftpd root with two files and a sub-folder, owned by the test user.
QString FreshRemoteFolder() {
    return FreshOwnedFolder(
        ServerEnv::Get().Value("FTP_ROOT"), "w", ServerEnv::Get().Value("FTP_USER"),
        {{"pages/", {}}, {"big.dat", QByteArray(123456, 'x')}, {"a.html", "<p>hi</p>\n"}});
}

void DoubleClickRow(TfrmMain& m, int row) {
    emit m.lvRemote->doubleClicked(m.lvRemote->model()->index(row, 0));
}

}  // namespace

TEST(Window, LogInFromTheDialogListNavigateSortAndDisconnect) {
    REQUIRE_SERVER("VSFTPD_PORT");
    const QString dir = FreshRemoteFolder();
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    m.show();
    StartWithLogin(m, dir, FillVsftpd);
    ASSERT_EQ(m.CurrentConnectionLight(), ConnectionLight::Green);
    EXPECT_TRUE(m.lblGreenLight->isVisible());
    EXPECT_FALSE(m.lblRedLight->isVisible());
    EXPECT_EQ(m.btnConnect->text(), "Disconnect");
    EXPECT_EQ(RemoteShownNames(m), QStringList({"..", "pages", "a.html", "big.dat"}));
    EXPECT_EQ(m.lblRemFileInfo->text(), "2 files    123,466 bytes");
    EXPECT_EQ(m.lvRemote->model()->index(3, 2).data().toString(), "123,456");
    EXPECT_EQ(m.cmbxRemDir->currentText(), dir);
    EXPECT_FALSE(m.memMsgs->toPlainText().contains(ServerEnv::Get().Password()));

    const QString folder = ScreenshotFolder();
    for (const QSize size : {QSize(1024, 700), QSize(1600, 1000)}) {
        m.resize(size);
        QApplication::processEvents();
        EXPECT_TRUE(m.grab().save(
            QString("%1/connected_%2x%3.png").arg(folder).arg(size.width()).arg(size.height())));
    }

    // A heading click sorts by size: the large file first once the sequence flips.
    m.lvRemote->header()->sectionClicked(2);
    EXPECT_EQ(RemoteShownNames(m), QStringList({"..", "pages", "a.html", "big.dat"}));
    m.lvRemote->header()->sectionClicked(2);
    EXPECT_EQ(RemoteShownNames(m), QStringList({"..", "pages", "big.dat", "a.html"}));
    EXPECT_EQ(m.rgrpRemoteSort->ItemIndex(), 3);
    EXPECT_EQ(m.rgrpRemoteSeq->ItemIndex(), 1);

    // Into "pages" with a double click, back with "..".
    DoubleClickRow(m, 1);
    EXPECT_EQ(m.Core().session->currentRemoteDir, dir + "/pages");
    EXPECT_EQ(RemoteShownNames(m), QStringList({".."}));
    DoubleClickRow(m, 0);
    EXPECT_EQ(NormalisedRemoteDir(false, m.Core().session->currentRemoteDir), dir);

    // Typing a directory and Enter.
    m.cmbxRemDir->setFocus();
    m.cmbxRemDir->lineEdit()->selectAll();
    QTest::keyClicks(m.cmbxRemDir->lineEdit(), dir + "/pages");
    EXPECT_EQ(NormalisedRemoteDir(false, m.Core().session->currentRemoteDir), dir);  // not yet
    QTest::keyClick(m.cmbxRemDir->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(m.Core().session->currentRemoteDir, dir + "/pages");

    // A path never visited, typed as the keyboard delivers it (to the combo box, which hands
    // the keys to its line edit): Enter goes there, and so does Tab after typing.
    QDir().mkpath(dir + "/typed");
    QProcess::execute("chown", {ServerEnv::Get().Value("FTP_USER"), dir + "/typed"});
    m.cmbxRemDir->lineEdit()->selectAll();
    QTest::keyClicks(m.cmbxRemDir, dir + "/typed");
    QTest::keyClick(m.cmbxRemDir, Qt::Key_Return);
    EXPECT_EQ(m.Core().session->currentRemoteDir, dir + "/typed");
    m.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m));
    m.cmbxRemDir->setFocus();
    m.cmbxRemDir->lineEdit()->selectAll();
    QTest::keyClicks(m.cmbxRemDir, dir + "/pages");
    QTest::keyClick(m.cmbxRemDir, Qt::Key_Tab);
    EXPECT_EQ(m.Core().session->currentRemoteDir, dir + "/pages");

    // Home goes back to where the server put us.
    m.btnHome->click();
    EXPECT_EQ(m.Core().session->currentRemoteDir, m.Core().session->homeDir);

    // Disconnect: amber with automatic reconnection.
    m.btnConnect->click();
    EXPECT_EQ(m.CurrentConnectionLight(), ConnectionLight::Amber);
    EXPECT_TRUE(m.lblAmberLight->isVisible());
    m.close();
}

// FTP over TLS chosen in the dialog, explicit and implicit: the certificate question once, with
// its fingerprint, then the files; the next login from the dialog is silent.
TEST(Window, TlsFromTheDialogAsksAboutTheCertificateOnceThenLists) {
    REQUIRE_SERVER("VSFTPD_TLS_PORT");
    REQUIRE_SERVER("VSFTPD_IMPLICIT_PORT");
    const QString dir = FreshRemoteFolder();
    for (const int tls : {1, 2}) {
        MainWindowFixture f;
        TfrmMain& m = f.Create();
        m.show();
        QString question;
        StartWithLogin(m, dir, [&](TfrmLogin& login) {
            FillVsftpd(login);
            login.edtDomainNameOrIP->setText(
                "127.0.0.1:" +
                ServerEnv::Get().Value(tls == 1 ? "VSFTPD_TLS_PORT" : "VSFTPD_IMPLICIT_PORT"));
            ASSERT_TRUE(login.cboFtpTls->isVisibleTo(&login));
            login.cboFtpTls->setCurrentIndex(tls);
            WhenModal([&question, tls](QWidget* box) {
                auto* message = qobject_cast<QMessageBox*>(box);
                ASSERT_NE(message, nullptr);
                question = message->text();
                if (tls == 1) {
                    EXPECT_TRUE(message->grab().save(ScreenshotFolder() + "/tls_question.png"));
                }
                message->button(QMessageBox::Yes)->click();
            });
        });
        const QString fingerprint =
            ServerEnv::Get().CertificateFingerprint(tls == 1 ? "vsftpd-tls" : "vsftpd-implicit");
        EXPECT_TRUE(question.contains(fingerprint)) << question.toStdString();
        ASSERT_EQ(m.CurrentConnectionLight(), ConnectionLight::Green);
        EXPECT_EQ(RemoteShownNames(m), QStringList({"..", "pages", "a.html", "big.dat"}));
        EXPECT_EQ(m.Core().settings.site.ftpTls, tls);
        EXPECT_EQ(m.Core().settings.site.tlsFingerprint, fingerprint);
        EXPECT_TRUE(m.memMsgs->toPlainText().contains("TLS established"));
        EXPECT_FALSE(m.memMsgs->toPlainText().contains(ServerEnv::Get().Password()));
        m.close();
    }
}

TEST(Window, ServerTextsShowAsPlainText) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    m.Core().firstActivation = false;
    m.show();
    QString shown;
    Qt::TextFormat format = Qt::AutoText;
    WhenModal([&](QWidget* box) {
        if (auto* message = qobject_cast<QMessageBox*>(box)) {
            shown = message->text();
            format = message->textFormat();
            message->accept();
        }
    });
    m.ShowColorMsg("Error 550 <b>not</b> & found");
    EXPECT_EQ(shown, "Error 550 <b>not</b> & found");
    EXPECT_EQ(format, Qt::PlainText);
}
