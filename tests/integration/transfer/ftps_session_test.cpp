// FTP over TLS through the session and from scripts, against the fixture's vsftpd with TLS
// required: the certificate question and its stored answer, refusals without a person, and a
// server that offers no TLS.
#include "script/script_runner.h"
#include "transfer/synchroniser.h"
#include "transfer_program.h"

namespace {

const QString kQuestion = "could not be verified";
const QString kChanged = "has CHANGED";

class FtpsSession : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_SERVER("VSFTPD_TLS_PORT");
        REQUIRE_SERVER("VSFTPD_IMPLICIT_PORT");
        p = std::make_unique<Program>(false);
        UseTls(1);
    }
    // 1 explicit, 2 implicit.
    void UseTls(int tls) {
        SiteProfile& site = p->core.settings.site;
        site.ftpTls = tls;
        site.domain = "127.0.0.1:" +
                      ServerEnv::Get().Value(tls == 2 ? "VSFTPD_IMPLICIT_PORT" : "VSFTPD_TLS_PORT");
    }
    int Asked(const QString& part) const {
        return int(std::count_if(p->ui.messages.begin(), p->ui.messages.end(),
                                 [&](const auto& m) { return m.text.contains(part); }));
    }
    bool LoggedPart(const QString& part) const { return !p->ui.logLines.filter(part).isEmpty(); }
    QString Fingerprint(bool implicit = false) const {
        return ServerEnv::Get().CertificateFingerprint(implicit ? "vsftpd-implicit" : "vsftpd-tls");
    }

    std::unique_ptr<Program> p;
};

}  // namespace

TEST_F(FtpsSession, YesTrustsTheCertificateForTheSiteAndLaterLoginsDoNotAsk) {
    WriteFile(p->remote + "/page.html", "<p>secret</p>\n");
    p->Chown();
    p->ui.answersByText[kQuestion] = ModalResult::Yes;
    ASSERT_TRUE(p->LogIn());
    EXPECT_EQ(Asked(kQuestion), 1);
    EXPECT_EQ(p->core.settings.site.tlsFingerprint, Fingerprint());
    EXPECT_TRUE(p->Listed("page.html"));
    EXPECT_TRUE(LoggedPart("TLS established"));
    EXPECT_TRUE(LoggedPart("TLS certificate trusted for this site: " + Fingerprint()));
    // The question names what the person needs to judge the certificate.
    const auto question = std::find_if(p->ui.messages.begin(), p->ui.messages.end(),
                                       [](const auto& m) { return m.text.contains(kQuestion); });
    EXPECT_TRUE(question->text.contains("CN=localhost"));
    EXPECT_TRUE(question->text.contains(Fingerprint()));
    EXPECT_TRUE(question->text.contains("self-signed"));
    EXPECT_EQ(p->ui.messages.size(), 1);  // the question alone, no error box before it

    p->session.RequestDisconnect();
    ASSERT_TRUE(p->LogIn());
    EXPECT_EQ(Asked(kQuestion), 1);  // not again

    // Another certificate for the same site: asked again, told that it changed; No keeps the
    // trusted one and stays logged out.
    p->session.RequestDisconnect();
    UseTls(2);
    p->ui.answersByText[kChanged] = ModalResult::No;
    EXPECT_FALSE(p->LogIn());
    EXPECT_EQ(Asked(kChanged), 1);
    EXPECT_EQ(p->core.settings.site.tlsFingerprint, Fingerprint());
    EXPECT_TRUE(LoggedPart("TLS certificate not trusted - login abandoned"));
}

TEST_F(FtpsSession, ImplicitTlsTransfersOnceTrusted) {
    UseTls(2);
    p->core.settings.site.tlsFingerprint = Fingerprint(true);
    const QByteArray data = RandomBytes(700000);
    WriteFile(p->local.File("up.bin"), data);
    ASSERT_TRUE(p->LogIn());
    EXPECT_EQ(Asked(kQuestion), 0);
    p->localPane.RefreshLocal();
    p->ui.transferModeIndex = 2;                   // binary
    p->ui.dialogAnswers.enqueue(ModalResult::OK);  // "Transfer type is binary ..."
    p->transfers.btnUploadClickActions({"up.bin"});
    EXPECT_EQ(ReadFile(p->remote + "/up.bin"), data);

    TestFolder back;
    p->localPane.SelectDirectory(back.Path());
    p->ui.dialogAnswers.enqueue(ModalResult::OK);
    p->transfers.btnDownloadClickActions(p->RemoteRows({"up.bin"}));
    EXPECT_EQ(ReadFile(back.File("up.bin")), data);
}

TEST_F(FtpsSession, AScriptNeverAcceptsAnUnverifiedCertificate) {
    p->core.run.scriptRunning = true;
    p->ui.answersByText[kQuestion] = ModalResult::Yes;  // nobody must be asked
    EXPECT_FALSE(p->LogIn());
    EXPECT_EQ(Asked(kQuestion), 0);
    EXPECT_TRUE(p->core.settings.site.tlsFingerprint.isEmpty());
    EXPECT_TRUE(LoggedPart("TLS certificate not verified and not accepted without a person"));
}

TEST_F(FtpsSession, AServerWithoutTlsIsNeverUsedInPlain) {
    p->core.settings.site.domain = "127.0.0.1:" + ServerEnv::Get().Value("VSFTPD_PORT");
    EXPECT_FALSE(p->LogIn());
    EXPECT_TRUE(LoggedPart("The server refused AUTH TLS"));
    EXPECT_TRUE(p->ui.logLines.filter("> USER").isEmpty());
    EXPECT_TRUE(p->ui.logLines.filter("> PASS").isEmpty());
}

TEST_F(FtpsSession, TheExecutableRunsAScriptOverTlsOnlyWithATrustedCertificate) {
    p->SaveSite();
    WriteFile(p->remote + "/report.txt", "numbers\n");
    p->Chown();
    const QString script = p->work.File("fetch.txt");
    WriteFile(script, ("LOC-CD " + p->local.Path() + "\nGET report.txt\nEXIT VORLEN\n").toUtf8());

    const Outcome refused = RunVorlen(*p, {"-sTest/" + script});
    EXPECT_EQ(refused.status, ScriptRunner::kCouldNotStart) << refused.output.toStdString();
    EXPECT_TRUE(refused.output.contains("not accepted without a person"));
    EXPECT_FALSE(QFileInfo::exists(p->local.File("report.txt")));

    p->core.settings.site.tlsFingerprint = Fingerprint();
    ASSERT_TRUE(p->core.store.UpdateSettings());
    const Outcome ok = RunVorlen(*p, {"-sTest/" + script});
    EXPECT_EQ(ok.status, ScriptRunner::kAllSucceeded) << ok.output.toStdString();
    EXPECT_EQ(ReadFile(p->local.File("report.txt")), "numbers\n");
    EXPECT_FALSE(ok.output.contains(ServerEnv::Get().Password()));
}

// Synchronise's extra connections log in like the session: TLS with the certificate the person
// trusted for the site, never asking again.
TEST_F(FtpsSession, SynchroniseOverSeveralConnectionsKeepsTlsAndTheTrustedCertificate) {
    for (int i = 0; i < 6; ++i) {
        WriteFile(p->local.File(QStringLiteral("site/p%1.html").arg(i)), RandomBytes(30000, i));
    }
    p->ui.answersByText[kQuestion] = ModalResult::Yes;
    ASSERT_TRUE(p->LogIn());
    p->core.localPane->SelectDirectory(p->local.File("site"));
    const Synchroniser::Outcome out = p->core.synchroniser->Synchronise(true, false);
    EXPECT_TRUE(out.Ok());
    EXPECT_EQ(out.sent, 6);
    EXPECT_EQ(Tree(p->remote), Tree(p->local.File("site")));
    EXPECT_TRUE(p->ui.logLines.contains("Moving 6 files over 4 connections"));
    EXPECT_EQ(Asked(kQuestion), 1);  // the login's question only
}
