#include "app/app_core.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <cstdio>

#include "app/login_actions.h"
#include "app/remote_edits.h"
#include "config/scrambling.h"
#include "config/words.h"
#include "logs/log_processing.h"
#include "logs/log_retrieval.h"
#include "panes/local_pane.h"
#include "panes/remote_pane.h"
#include "platform/platform.h"
#include "procmail/procmail_update.h"
#include "runtime/program_version.h"
#include "runtime/user_interface.h"
#include "script/script_runner.h"
#include "session/session.h"
#include "transfer/batch_sender.h"
#include "transfer/remote_operations.h"
#include "transfer/synchroniser.h"
#include "transfer/transfers.h"

AppCore::AppCore(UserInterface& ui) : store(ui), m_ui(ui) {
    login = std::make_unique<LoginActions>(store, run, ui);
    localPane = std::make_unique<LocalPane>(ui, settings);
    localPane->updateSettings = [this] { store.UpdateSettings(); };
    store.siteLocalDirChanged = [this](const QString& dir) { localPane->SetCurrentDir(dir); };
    session = std::make_unique<Session>(store, run, ui);
    remotePane = std::make_unique<RemotePane>(settings, *session, ui,
                                              [] { return double(platform::TickCount()); });
    session->SetRemotePane(remotePane.get());
    remoteOperations = std::make_unique<RemoteOperations>(store, run, ui, *session, *remotePane);
    batches = std::make_unique<BatchSender>(store, run, ui, *session);
    transfers = std::make_unique<Transfers>(store, run, ui, *session, *remotePane, *localPane,
                                            *remoteOperations, *batches);
    synchroniser = std::make_unique<Synchroniser>(store, run, ui, *session, *remotePane, *localPane,
                                                  *transfers, *batches);
    scripts = std::make_unique<ScriptRunner>(store, run, ui, *session, *remotePane, *localPane,
                                             *transfers, *remoteOperations, *synchroniser);
    procmail =
        std::make_unique<ProcmailUpdate>(store, run, paths, ui, *session, *remotePane, *localPane,
                                         *transfers, *remoteOperations, *scripts);
    logRetrieval = std::make_unique<LogRetrieval>(store, run, ui, *session, *remotePane, *localPane,
                                                  *transfers, *remoteOperations);
    logProcessing = std::make_unique<LogProcessing>(store, run, ui, *session, *localPane);
    remoteEdits = std::make_unique<RemoteEdits>(store, run, ui, *session, *remotePane, *transfers);
    remotePane->procmailWorkflow = [this] { procmail->ProcmailClickActions(); };
    session->refreshLocal = [this] { localPane->RefreshLocal(); };
    session->runStartupScript = [this] { scripts->RunscriptActions(); };
    session->stopScript = [this] { scripts->RequestStop(); };
    requestConnect = [this] { session->RequestConnect(); };
    printError = [](const QString& line) {
        std::fputs((line + '\n').toLocal8Bit().constData(), stderr);
    };
    startDetached = [](const QString& program) {
        return QProcess::startDetached(program, {}, QString());
    };
}

AppCore::~AppCore() = default;

QString AppCore::GetVersionNumber() {
    return ProgramVersion();
}

bool AppCore::FormCreate(const QStringList& arguments) {
    firstActivation = true;
    const QDateTime now = QDateTime::currentDateTime();
    paths = AppPaths::ForWorkFolder(platform::WorkFolder(),
                                    now.toString("yyyyMMdd") + now.toString("HHmmsszzz"));
    bool ok = true;
    if (!platform::EnsureFolder(paths.workFolder)) {
        m_ui.LogText("Unable to create work folder " + paths.workFolder);
        ok = false;
    }
    if (ok) {
        logFile.Open(paths.workFolder + platform::LocalSeparator() + "VorlenFTP.log");
    }
    cfg.SetFileName(paths.cfgFileName);
    if (!cfg.Load()) {
        m_ui.LogText(cfg.ErrorText());
    }
    store.versionText = GetVersionNumber();
    run.startupScript.clear();
    startupSiteNum.clear();
    settings.sshMode = false;
    settings.commandLineSsh = false;
    settings.zosMode = false;
    zosSettingText = "?";
    session->currentRemoteDir = "?";
    session->listingTempFile = paths.listingTempFile;
    settings.GetCommonSettings(platform::DefaultEditor(), platform::DefaultGzipPath());
    AnalyseCommandLineParameters(arguments);
    if (IsWholeNumber(startupSiteNum)) {
        settings.SetCurrentSiteNum(WholeNumberOr(startupSiteNum, 0));
    }
    if (!demoSite.isEmpty() && run.startupScript.isEmpty()) {
        // The demo server's password comes through the environment, never the command line
        // (which every user of the machine can read), and programs started later do not
        // inherit it.
        const QString password = qEnvironmentVariable("VORLEN_DEMO_PASSWORD");
        qunsetenv("VORLEN_DEMO_PASSWORD");
        login->UseDemoSite(demoSite, qEnvironmentVariable("VORLEN_DEMO_USER", "demo"), password,
                           qEnvironmentVariable("VORLEN_DEMO_LOCAL"));
    }
    return ok;
}

void AppCore::AnalyseCommandLineParameters(const QStringList& arguments) {
    for (const QString& argument : arguments) {
        const QString head = (argument + "   ").left(2).toLower();
        if (head == "-h") {
            settings.sshMode = true;
            settings.commandLineSsh = true;
        } else if (argument == "--trace") {
            m_ui.showTrace = true;
        } else if (argument.startsWith("--demo-site=")) {
            demoSite = argument.mid(12).trimmed();
        } else if (head == "-s") {
            GetScriptInfoFromParm(argument);
        } else {
            // Ignored as before, but said, so a mistyped switch does not go unnoticed.
            printError("vorlen: unknown option '" + argument + "' ignored (see vorlen --help)");
        }
    }
    settings.startupScriptSet = !run.startupScript.isEmpty();
    run.unattended = settings.startupScriptSet;
}

void AppCore::GetScriptInfoFromParm(const QString& param) {
    if (param.size() < 3) {
        return;
    }
    const QString s = param.mid(2).trimmed();
    // Absolute paths start with "/" here: "-s/home/me/nightly.txt" names that file, not the
    // site-less form "-s/x.txt" (which stays "x.txt" unless /x.txt exists).
    if (s.startsWith('/') && platform::IsRootedLocalPath(s) &&
        (s.indexOf('/', 1) > 1 || QFileInfo(s).isFile())) {
        run.startupScript = s;
        return;
    }
    const qsizetype slash = s.indexOf('/');
    if (slash < 0) {
        run.startupScript = s;
        return;
    }
    if (slash == 0) {
        run.startupScript = s.mid(1).trimmed();
        return;
    }
    if (slash == s.size() - 1) {
        run.startupScript.clear();
        return;
    }
    QString siteName = s.left(slash).trimmed();
    int found = -1;
    for (int i = 0; i < settings.siteNames.size(); ++i) {
        if (settings.siteNames[i] == siteName) {
            found = i;
        }
    }
    if (found < 0) {
        for (int i = 0; i < settings.siteNames.size(); ++i) {
            if (settings.siteNames[i].toLower() == siteName.toLower()) {
                found = i;
            }
        }
        if (found >= 0) {
            siteName = settings.siteNames[found];
        }
    }
    if (found < 0) {
        m_ui.LogText("Invalid site name on command line script parameter:");
        m_ui.LogText("Supplied parameter: " + param);
        m_ui.LogText("Site name: " + siteName);
        m_ui.LogText("No script processing will be attempted.");
        run.startupScript.clear();
        startupSiteNum.clear();
        return;
    }
    startupSiteNum = QString::number(found);
    run.startupScript = s.mid(slash + 1).trimmed();
    m_ui.LogText("Startup script: " + run.startupScript);
    m_ui.LogText("Remote site associated with startup script: " + siteName);
}

void AppCore::KeepListing() {
    const QStringList& remoteListingLines = session->remoteListingLines;
    if (!session->listingReceived || remoteListingLines.isEmpty()) {
        return;
    }
    QFile::remove(paths.listingKeepFile);
    QFile file(paths.listingKeepFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        m_ui.LogText("Unable to write " + paths.listingKeepFile + ": " + file.errorString());
        return;
    }
    for (const QString& line : remoteListingLines) {
        file.write(line.toUtf8());
        file.write("\n");
    }
}

bool AppCore::LaunchLogin() {
    if (cfg.CfgDirty() && !cfg.SaveCfgFile()) {
        m_ui.LogText(cfg.ErrorText());
    }
    const QString exe = paths.executablePath;
    if (!exe.isEmpty() && QFileInfo(exe).isFile() && startDetached(exe)) {
        return true;
    }
    const QString name = exe.isEmpty() ? QStringLiteral("vorlen") : QFileInfo(exe).fileName();
    m_ui.Warning("Cannot locate " + paths.programFolder + name + " - login aborted");
    return false;
}

bool AppCore::NewLoginActions() {
    RequestStopScript();
    m_ui.ProcessMessages();
    store.UpdateSettings();
    const bool keep = m_ui.ConfirmYesNo("Keep this session after logging in to new site?");
    LaunchLogin();
    return keep;
}

void AppCore::RequestStopScript() {
    if (!run.scriptRunning) {
        return;
    }
    scripts->RequestStop();
    // An FTP request in flight is abandoned as the Cancel button would; an SFTP call finishes
    // first (aborting it drops the connection the run's completion steps still use).
    if (session->Remote()->AbandonOnStop()) {
        session->AbortClick();
    }
}

bool AppCore::Start() {
    run.winUserName = platform::UserName();
    if (run.startupScript.isEmpty()) {
        m_ui.ShowLoginDialog();
        if (run.loginPending) {
            return false;
        }
    }
    store.UpdateSettings();
    // Red, and the button keeps "Connect" until the first login.
    session->SetState(ConnectionState::NotConnected);
    session->currentRemoteDir = "..";
    m_ui.DisableGridsEtc();
    if (!run.loginCancelled && requestConnect) {
        requestConnect();
    }
    localPane->RefreshLocal();
    m_ui.EnableGridsEtc();
    return true;
}

void AppCore::Stop() {
    RequestStopScript();
    m_ui.ProcessMessages();
    for (int i = 0; i < kStatusPanelCount; ++i) {
        m_ui.SetStatusPanel(StatusPanel(i), QString());
    }
    m_ui.ProcessMessages();
    m_ui.DisableGridsEtc();
    m_ui.ProcessMessages();
    store.UpdateSettings();
}
