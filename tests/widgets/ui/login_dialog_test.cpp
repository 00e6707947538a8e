#include <gtest/gtest.h>

#include <QInputDialog>
#include <QMessageBox>

#include "config/scrambling.h"
#include "ui/frm_ask_pass.h"
#include "ui/frm_login.h"
#include "widget_test_support.h"

namespace {

void FillLogin(TfrmLogin* login, const QString& userid, const QString& password,
               const QString& domain) {
    login->edtUserid->setText(userid);
    login->edtPassword->setText(password);
    login->edtDomainNameOrIP->setText(domain);
}

// Answers the next message box with OK and records its text.
void AnswerMessage(QString& text) {
    WhenModal([&text](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        text = box->text();
        box->button(QMessageBox::Ok)->click();
    });
}

}  // namespace

TEST(LoginDialog, FirstStartShowsDefaultWithItsControls) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    TfrmLogin* login = m.LoginDialog();
    EXPECT_EQ(login->windowTitle(), "Login");
    EXPECT_EQ(login->cboRemoteSite->count(), 1);
    EXPECT_EQ(login->cboRemoteSite->currentText(), "Default");
    EXPECT_EQ(login->cboTimeout->currentText(), "140 secs");
    EXPECT_EQ(login->cboConnectionType->count(), 5);
    EXPECT_EQ(login->cboSSH->itemText(1), "Secure (SSH) Connection");
    EXPECT_TRUE(login->chkPassive->isChecked());
    EXPECT_EQ(login->chkRememberPassword->text(), "Save password");
    EXPECT_FALSE(login->edtProxySocksServer->isVisibleTo(login));
    EXPECT_EQ(login->edtPassword->echoMode(), QLineEdit::Password);
    EXPECT_EQ(login->edtSocksPassword->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(QFileInfo::exists(f.dir.File("VorlenFTP.cfg")));
    EXPECT_TRUE(m.Core().run.loginPending);
    EXPECT_EQ(m.windowTitle(),
              "Vorlen FTP version " + AppCore::GetVersionNumber() + " remote site - Default");
}

TEST(LoginDialog, VisibilityFollowsConnectionTypeAndSsh) {
    MainWindowFixture f;
    TfrmLogin* login = f.Create().LoginDialog();
    login->cboConnectionType->setCurrentIndex(1);
    EXPECT_TRUE(login->edtProxySocksServer->isVisibleTo(login));
    EXPECT_TRUE(login->edtSocksPassword->isVisibleTo(login));
    EXPECT_EQ(login->lblProxyServer->text(), "Proxy server:");
    EXPECT_EQ(login->lblProxyUser->text(), "Proxy user:");
    EXPECT_EQ(login->chkRememberPassword->text(), "Save passwords");
    login->cboConnectionType->setCurrentIndex(4);
    EXPECT_EQ(login->lblProxyServer->text(), "Socks server:");
    login->cboConnectionType->setCurrentIndex(0);
    EXPECT_FALSE(login->lblProxyUser->isVisibleTo(login));
    login->cboSSH->setCurrentIndex(1);
    EXPECT_FALSE(login->chkPassive->isVisibleTo(login));
    EXPECT_FALSE(login->cboFtpTls->isVisibleTo(login));  // SFTP is encrypted anyway
    login->cboSSH->setCurrentIndex(0);
    EXPECT_TRUE(login->chkPassive->isVisibleTo(login));
    EXPECT_TRUE(login->cboFtpTls->isVisibleTo(login));
    EXPECT_EQ(login->cboFtpTls->currentIndex(), 0);  // plain FTP, as every older site
    EXPECT_EQ(login->cboFtpTls->count(), 3);
}

TEST(LoginDialog, OkWithAMissingFieldWarnsAndStays) {
    MainWindowFixture f;
    TfrmLogin* login = f.Create().LoginDialog();
    FillLogin(login, "me", "", "host");
    QString warning;
    AnswerMessage(warning);
    login->btnOKClick();
    EXPECT_EQ(warning, "Password field is empty");
    EXPECT_EQ(login->result(), 0);
    EXPECT_TRUE(f.main->Core().run.loginPending);
}

TEST(LoginDialog, ClosingWithoutOkClosesTheMainWindow) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    m.show();
    WhenModal([](QWidget* w) { static_cast<QDialog*>(w)->reject(); });  // title-bar close
    m.FormActivate();
    EXPECT_TRUE(m.Core().run.loginPending);
    EXPECT_FALSE(m.isVisible());
    // The close still saved the window's settings.
    CfgFile cfg(f.dir.File("VorlenFTP.cfg"));
    ASSERT_TRUE(cfg.Load());
    EXPECT_EQ(cfg.GetCfgFileSetting("Common", "WindowWidth", "?"), QString::number(m.width()));
}

TEST(LoginDialog, CancelWithUseridAndDomainOpensUnconnected) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    bool connectRequested = false;
    m.Core().requestConnect = [&] { connectRequested = true; };
    m.show();
    WhenModal([&m](QWidget*) {
        FillLogin(m.LoginDialog(), "me", "", "example.org");
        m.LoginDialog()->btnCancel->click();
    });
    m.FormActivate();
    EXPECT_FALSE(m.Core().run.loginPending);
    EXPECT_TRUE(m.Core().run.loginCancelled);
    EXPECT_TRUE(m.isVisible());
    EXPECT_FALSE(connectRequested);
    EXPECT_EQ(m.btnConnect->text(), "Connect");
    EXPECT_EQ(m.CurrentConnectionLight(), ConnectionLight::Red);
    // The local pane was listed on the way out of the busy state.
    EXPECT_EQ(m.StatusBarGeneralText(), " Refresh of local directory list completed.");
    EXPECT_TRUE(m.btnUpload->isEnabled());
    CfgFile cfg(f.dir.File("VorlenFTP.cfg"));
    ASSERT_TRUE(cfg.Load());
    EXPECT_EQ(cfg.GetCfgFileSetting("Site0", "Userid", "?"), "me");
    m.close();
}

TEST(LoginDialog, OkRequestsTheConnection) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    int connectRequests = 0;
    m.Core().requestConnect = [&] { ++connectRequests; };
    m.show();
    WhenModal([&m](QWidget*) {
        FillLogin(m.LoginDialog(), "me", "pw", "example.org");
        m.LoginDialog()->chkRememberPassword->setChecked(true);
        m.LoginDialog()->cboFtpTls->setCurrentIndex(2);
        m.LoginDialog()->btnOK->click();
    });
    m.FormActivate();
    EXPECT_EQ(connectRequests, 1);
    EXPECT_FALSE(m.Core().run.loginCancelled);
    CfgFile cfg(f.dir.File("VorlenFTP.cfg"));
    ASSERT_TRUE(cfg.Load());
    const QString stored = cfg.GetCfgFileSetting("Site0", "InfLocDir0", "");
    ASSERT_TRUE(stored.startsWith("C:\\"));
    EXPECT_EQ(scrambling::ComplexDecrypt(stored.mid(3).toLatin1()), "pw");
    EXPECT_EQ(cfg.GetCfgFileSetting("Site0", "FtpTls", ""), "2");
    m.close();
}

TEST(LoginDialog, NewSiteThroughTheInputBox) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    TfrmLogin* login = m.LoginDialog();
    QString title, prompt;
    WhenModal([&](QWidget* w) {
        auto* input = qobject_cast<QInputDialog*>(w);
        ASSERT_NE(input, nullptr);
        title = input->windowTitle();
        prompt = input->labelText();
        input->setTextValue("Second site");
        input->accept();
    });
    login->btnNewSite->click();
    EXPECT_EQ(title, "New Remote Site");
    EXPECT_EQ(prompt, "Please supply  name for new remote site :");
    EXPECT_EQ(login->cboRemoteSite->count(), 2);
    EXPECT_EQ(login->cboRemoteSite->currentText(), "Second site");
    EXPECT_TRUE(m.windowTitle().endsWith(" remote site - Second site"));

    // Choosing the first site again loads it.
    login->cboRemoteSite->setCurrentIndex(0);
    EXPECT_EQ(m.Core().settings.CurrentSiteNum(), 0);
    EXPECT_TRUE(m.windowTitle().endsWith(" remote site - Default"));
}

TEST(AskPassDialog, AnswersAndCaption) {
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    WhenModal([](QWidget* w) {
        auto* dialog = qobject_cast<TfrmAskPass*>(w);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), "Request Login information");
        EXPECT_EQ(dialog->lblInfo1->text(), "line one");
        EXPECT_EQ(dialog->chkSavePassword->text(), "Save Password");
        dialog->edtPassword->setText("typed");
        dialog->chkSavePassword->setChecked(true);
        dialog->btnOk->click();
    });
    EXPECT_TRUE(m.Core().store.AskForPassword("line one", "line two"));
    EXPECT_TRUE(m.Core().settings.site.savePw);
    WhenModal([](QWidget* w) { qobject_cast<TfrmAskPass*>(w)->btnCancel->click(); });
    EXPECT_FALSE(m.Core().store.AskForPassword("line one", "line two"));
    EXPECT_EQ(m.Core().settings.site.sessionPassword, kNoPasswordMark);
}
