// An SFTP site from the real window: the login dialog with the secure connection chosen, the
// home directory listed, a step down and back, disconnect and reconnect with the stored host
// key; directly, through SOCKS 5 with a password (dante) and through HTTP CONNECT (tinyproxy);
// and a site that logs in with a key.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTimer>
#include <QUuid>

#include "app/app_core.h"
#include "panes/remote_pane.h"
#include "session/session.h"
#include "support/server_env.h"
#include "ui/frm_ask_pass.h"
#include "ui/frm_login.h"
#include "widget_test_support.h"
#include "window_login.h"

#include "../sftp/own_servers.h"

namespace {

struct Route {
    const char* name;
    int connectionKind;     // the login dialog's connection type
    const char* proxyPort;  // key of the proxy's port in the FTP bench, or null
    bool proxyLogin;
};

QString FreshSftpFolder() {
    const QString dir = ServerEnv::Sshd().Value("SSH_ROOT") + "/w" +
                        QUuid::createUuid().toString(QUuid::Id128).left(10);
    QDir().mkpath(dir + "/site/img");
    QFile file(dir + "/index.html");
    file.open(QIODevice::WriteOnly);
    file.write("<p>hi</p>\n");
    file.close();
    QProcess::execute("chown", {"-R", ServerEnv::Sshd().Value("SSH_USER"), dir});
    return dir;
}

class WindowSftp : public ::testing::TestWithParam<Route> {};

}  // namespace

TEST_P(WindowSftp, LogInListNavigateDisconnectAndReconnect) {
    REQUIRE_SSHD_SERVER();
    const Route route = GetParam();
    if (route.proxyPort) {
        REQUIRE_SERVER(route.proxyPort);
    }
    const QString dir = FreshSftpFolder();
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    m.show();
    StartWithLogin(m, dir, [route](TfrmLogin& login) {
        login.cboSSH->setCurrentIndex(1);
        login.edtUserid->setText(ServerEnv::Sshd().Value("SSH_USER"));
        login.edtPassword->setText(ServerEnv::Sshd().Password());
        login.edtDomainNameOrIP->setText("127.0.0.1:" + ServerEnv::Sshd().Value("SSHD_PORT"));
        login.cboConnectionType->setCurrentIndex(route.connectionKind);
        if (route.proxyPort) {
            login.edtProxySocksServer->setText("127.0.0.1:" +
                                               ServerEnv::Get().Value(route.proxyPort));
        }
        if (route.proxyLogin) {
            login.edtSocksUser->setText(ServerEnv::Get().Value("FTP_USER"));
            login.edtSocksPassword->setText(ServerEnv::Get().Password());
        }
    });
    ASSERT_EQ(m.CurrentConnectionLight(), ConnectionLight::Green)
        << m.memMsgs->toPlainText().toStdString();
    EXPECT_TRUE(m.Core().settings.site.fingerprint.startsWith("SHA256:"));
    EXPECT_EQ(m.btnConnect->text(), "Disconnect");
    EXPECT_EQ(RemoteShownNames(m), QStringList({"..", "site", "index.html"}));
    EXPECT_EQ(m.cmbxRemDir->currentText(), dir);
    if (route.connectionKind == 0) {
        // sshd lists names beginning with ".": shown, until the toggle hides them.
        QFile htaccess(dir + "/.htaccess");
        ASSERT_TRUE(htaccess.open(QIODevice::WriteOnly));
        htaccess.close();
        m.btnRefreshRemote->click();
        EXPECT_EQ(RemoteShownNames(m), QStringList({"..", "site", ".htaccess", "index.html"}));
        m.chkRemoteHidden->setChecked(false);
        EXPECT_EQ(RemoteShownNames(m), QStringList({"..", "site", "index.html"}));
        m.chkRemoteHidden->setChecked(true);
        QFile::remove(dir + "/.htaccess");
        m.btnRefreshRemote->click();
    }

    emit m.lvRemote->doubleClicked(m.lvRemote->model()->index(1, 0));
    EXPECT_EQ(m.Core().session->currentRemoteDir, dir + "/site");
    EXPECT_EQ(RemoteShownNames(m), QStringList({"..", "img"}));
    emit m.lvRemote->doubleClicked(m.lvRemote->model()->index(0, 0));
    EXPECT_EQ(NormalisedRemoteDir(false, m.Core().session->currentRemoteDir), dir);

    m.btnConnect->click();  // disconnect: amber, reconnected by the next remote action
    EXPECT_EQ(m.CurrentConnectionLight(), ConnectionLight::Amber);
    m.btnRefreshRemote->click();
    EXPECT_EQ(m.CurrentConnectionLight(), ConnectionLight::Green);
    EXPECT_TRUE(m.memMsgs->toPlainText().contains("Fingerprint matches that from previous login"));
    EXPECT_EQ(RemoteShownNames(m), QStringList({"..", "site", "index.html"}));

    m.btnConnect->click();  // amber
    m.btnConnect->click();  // red: no automatic reconnection
    EXPECT_EQ(m.CurrentConnectionLight(), ConnectionLight::Red);
    EXPECT_EQ(m.btnConnect->text(), "Reconnect");
    m.btnConnect->click();
    EXPECT_EQ(m.CurrentConnectionLight(), ConnectionLight::Green);
    for (const QString& secret : {ServerEnv::Sshd().Password(), ServerEnv::Get().Password()}) {
        EXPECT_FALSE(m.memMsgs->toPlainText().contains(secret));
    }
    m.close();
}

INSTANTIATE_TEST_SUITE_P(Routes, WindowSftp,
                         ::testing::Values(Route{"Direct", 0, nullptr, false},
                                           Route{"Socks5Password", 4, "SOCKS_AUTH_PORT", true},
                                           Route{"HttpConnect", 1, "HTTPPROXY_PORT", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A site that logs in with a key locked by a passphrase: named in the login dialog, the
// passphrase asked once in the password dialog and saved on request, then used silently.
TEST(WindowSftpKey, KeyFileWithPassphraseFromTheLoginDialog) {
    REQUIRE_SSHD_SERVER();
    const QString dir = FreshSftpFolder();
    MainWindowFixture f;
    TfrmMain& m = f.Create();
    KeyServer keys;  // its listener needs the application the fixture makes
    ASSERT_TRUE(keys.Start());
    m.show();
    // The passphrase question comes after the login dialog has closed.
    QString asked;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* pass = qobject_cast<TfrmAskPass*>(QApplication::activeModalWidget())) {
            poll.stop();
            asked = pass->findChild<QLabel*>() ? pass->findChild<QLabel*>()->text() : QString();
            pass->edtPassword->setText(KeyServer::kPhrase);
            pass->chkSavePassword->setChecked(true);
            pass->btnOk->click();
        }
    });
    poll.start();
    StartWithLogin(m, dir, [&](TfrmLogin& login) {
        login.cboSSH->setCurrentIndex(1);
        EXPECT_TRUE(login.edtKeyFile->isVisibleTo(&login));
        login.edtUserid->setText(ServerEnv::Sshd().Value("SSH_USER"));
        login.edtPassword->clear();
        login.edtDomainNameOrIP->setText(QString("127.0.0.1:%1").arg(keys.server.Port()));
        login.edtKeyFile->setText(keys.Key("locked"));
        EXPECT_TRUE(login.grab().save(ScreenshotFolder() + "/login-key-file.png"));
    });
    ASSERT_EQ(m.CurrentConnectionLight(), ConnectionLight::Green)
        << m.memMsgs->toPlainText().toStdString();
    EXPECT_FALSE(poll.isActive()) << "no passphrase question";
    EXPECT_EQ(RemoteShownNames(m), QStringList({"..", "site", "index.html"}));
    const SiteProfile& site = m.Core().settings.site;
    EXPECT_EQ(site.keyFile, keys.Key("locked"));
    EXPECT_FALSE(site.keyPassphrase.isEmpty());
    EXPECT_FALSE(m.memMsgs->toPlainText().contains(KeyServer::kPhrase));

    // Saved: the next login asks nothing.
    m.btnConnect->click();  // amber
    m.btnConnect->click();  // red
    m.btnConnect->click();
    EXPECT_EQ(m.CurrentConnectionLight(), ConnectionLight::Green)
        << m.memMsgs->toPlainText().toStdString();
    m.close();
}
