// The first command's local demo: the demo folder and server the run script starts, the
// "Local demo" site the program makes of them, and what a newcomer does first: log in, run the
// sample script and fetch the month of logs.
#include "app/login_actions.h"
#include "logs/log_retrieval.h"
#include "script/script_runner.h"
#include "transfer_program.h"

namespace {

const QString kDemoScripts = QStringLiteral(VORLEN_SOURCE_DIR "/scripts/demo");

// The demo server on a free loopback port, stopped by its process when the test ends.
class DemoServer {
public:
    DemoServer(const QString& root, const QString& password) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VORLEN_DEMO_USER", "demo");
        env.insert("VORLEN_DEMO_PASSWORD", password);
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start("/usr/bin/python3",
                        {kDemoScripts + "/demo_server.py", root, m_dir.File("port")});
        // The port file appears once the server listens; the wait sleeps between looks.
        for (int i = 0; i < 100 && !QFileInfo::exists(m_dir.File("port")); ++i) {
            m_process.waitForFinished(100);
        }
        port = QString::fromLatin1(ReadFile(m_dir.File("port"))).trimmed();
    }
    ~DemoServer() {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    QString port;

private:
    TestFolder m_dir;
    QProcess m_process;
};

class DemoSite : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(
            QProcess::execute("/usr/bin/python3", {kDemoScripts + "/make_demo_folder.py",
                                                   m_demo.File("server"), m_demo.File("local")}),
            0);
        m_server = std::make_unique<DemoServer>(m_demo.File("server"), m_password);
        ASSERT_FALSE(m_server->port.isEmpty()) << "demo server did not start";
    }
    // The program as the run script starts it.
    void Start(AppCore& core) {
        ScopedEnv password("VORLEN_DEMO_PASSWORD", m_password);
        ScopedEnv local("VORLEN_DEMO_LOCAL", m_demo.File("local"));
        core.FormCreate({"--demo-site=127.0.0.1:" + m_server->port});
        EXPECT_TRUE(qEnvironmentVariableIsEmpty("VORLEN_DEMO_PASSWORD"));  // not passed on
    }

    TestFolder m_work;
    ScopedEnv m_home{"VORLENFTP_HOME", m_work.Path()};
    TestFolder m_demo;
    QString m_password = QUuid::createUuid().toString(QUuid::Id128);
    std::unique_ptr<DemoServer> m_server;
};

}  // namespace

TEST_F(DemoSite, TheSiteIsReadyAndANewcomerCanBrowseRunTheSampleScriptAndFetchTheLogs) {
    ScriptedUserInterface ui;
    AppCore core(ui);
    Start(core);
    const SiteProfile& site = core.settings.site;
    EXPECT_EQ(site.siteName, "Local demo");
    EXPECT_EQ(site.domain, "127.0.0.1:" + m_server->port);
    EXPECT_TRUE(site.savePw);
    EXPECT_EQ(QString::fromUtf8(scrambling::ComplexDecrypt(site.sessionPassword.toLatin1())),
              m_password);
    EXPECT_EQ(core.localPane->CurrentDir(), m_demo.File("local"));

    // OK in the login dialog: logged in, the demo folder listed.
    core.session->RequestConnect();
    ASSERT_TRUE(core.session->Connected()) << ui.logLines.join('\n').toStdString();
    QStringList names;
    for (int i = 0; i < core.remotePane->RowCount(); ++i) {
        if (const RemoteRow row = core.remotePane->Row(i); row.entry) {
            names << row.entry->name;
        }
    }
    EXPECT_TRUE(names.contains("public_html") && names.contains("www_logs"))
        << names.join(' ').toStdString();

    // The sample script copies the site's pages.
    ui.scriptFileAnswers.enqueue(m_demo.File("local/sample_script.txt"));
    core.scripts->RunscriptActions();
    EXPECT_EQ(ReadFile(m_demo.File("local/site-copy/index.html")),
              ReadFile(m_demo.File("server/public_html/index.html")));
    EXPECT_FALSE(ReadFile(m_demo.File("local/site-copy/index.html")).isEmpty());

    // Log retrieval: last month's logs into their month folder, decompressed.
    core.session->RequestConnect();
    ASSERT_TRUE(core.session->Connected());
    ui.answersByText["Do you want to leave the downloaded logfiles on the server"] =
        ModalResult::Yes;
    core.logRetrieval->GetLogs();
    const QDate month = QDate::currentDate().addMonths(-1);
    const QDir folder(m_demo.File("local/weblogs/" + month.toString("yyyyMM")));
    const QStringList logs = folder.entryList(QDir::Files);
    EXPECT_EQ(logs.size(), month.daysInMonth()) << ui.logLines.join('\n').toStdString();
    EXPECT_TRUE(logs.filter(".gz").isEmpty());
    EXPECT_FALSE(ui.logLines.join('\n').contains(m_password));
}

// The start as the window makes it, twice: the site's first directory is where the login
// lands, and nothing says otherwise or remembers "..".
TEST_F(DemoSite, StartingLogsInWithoutComplainingAboutTheInitialDirectory) {
    for (int start = 0; start < 2; ++start) {
        ScriptedUserInterface ui;
        AppCore core(ui);
        Start(core);
        ASSERT_TRUE(core.Start());
        ASSERT_TRUE(core.session->Connected()) << ui.logLines.join('\n').toStdString();
        EXPECT_FALSE(ui.logLines.join('\n').contains("Problem changing"))
            << ui.logLines.join('\n').toStdString();
        EXPECT_FALSE(core.settings.site.infRemDirs.contains(".."));
        core.Stop();
    }
}

TEST_F(DemoSite, ASecondStartUpdatesTheDemoSiteAndLeavesThePersonsOwnSitesAlone) {
    {
        ScriptedUserInterface ui;
        AppCore core(ui);
        core.FormCreate({});
        LoginFields fields;
        core.login->CreateNewSite("Mine", fields);
        core.settings.site.domain = "ftp.example.org";
        ASSERT_TRUE(core.store.UpdateSettings());
    }
    {
        ScriptedUserInterface ui;
        AppCore core(ui);
        Start(core);
    }
    m_password = "changed-" + m_password;
    ScriptedUserInterface ui;
    AppCore core(ui);
    Start(core);
    EXPECT_EQ(core.settings.site.siteName, "Local demo");
    EXPECT_EQ(QString::fromUtf8(
                  scrambling::ComplexDecrypt(core.settings.site.sessionPassword.toLatin1())),
              m_password);
    QStringList active;
    for (int i = 0; i < core.settings.NumSites(); ++i) {
        if (core.settings.siteActive[i]) {
            active << core.settings.siteNames[i];
        }
    }
    active.sort();
    EXPECT_EQ(active, QStringList({"Local demo", "Mine"}));
    core.settings.SetCurrentSiteNum(core.login->LocateSiteIndex("Mine"));
    core.store.GetSiteSettings();
    EXPECT_EQ(core.settings.site.domain, "ftp.example.org");
}
