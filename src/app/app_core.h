#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "app/log_file.h"
#include "config/cfg_file.h"
#include "config/settings.h"

class UserInterface;
class LocalPane;
class LoginActions;
class Session;
class RemotePane;
class RemoteOperations;
class LogProcessing;
class LogRetrieval;
class ProcmailUpdate;
class ScriptRunner;
class Transfers;

// Program-wide paths, fixed once at start-up.
struct AppPaths {
    QString workFolder;
    QString cfgFileName;
    QString procmailFolder;
    QString tempFolder;
    QString programFolder;
    QString executablePath;
    QString listingTempFile;  // this run's DIR output
    QString listingKeepFile;  // the last listing, kept at exit

    // All paths derived from a work folder; the listing temp file carries Stamp.
    static AppPaths ForWorkFolder(const QString& workFolder, const QString& stamp);
};

// The root object of the program's state and start-up/shutdown commands. The main window owns
// one; it speaks to the person only through UserInterface, so it runs headless in tests.
class AppCore {
public:
    explicit AppCore(UserInterface& ui);
    ~AppCore();

    // "major.minor.release" of the running build.
    static QString GetVersionNumber();

    // The start-up steps that need no window: folders, configuration, common settings, command
    // line. Returns false when the work folder cannot be created (reported in the log).
    bool FormCreate(const QStringList& arguments);
    void AnalyseCommandLineParameters(const QStringList& arguments);
    void GetScriptInfoFromParm(const QString& param);
    void SetGlobalProfileName(const QString& siteName);

    // Reads the current site's settings (reloading the file), shows its name in the caption and
    // lets the window mirror them.
    void GetSiteSettings();

    // Asks for the session password (the password dialog) and records the answer: a typed
    // password scrambled, else the no-password marker. True when a password is now known.
    bool AskForPassword(const QString& line1, const QString& line2);

    // Writes every setting and saves when something changed; a failed save is logged.
    bool UpdateSettings();

    // Close button: keeps the last remote listing when one was received this run.
    void KeepListing();

    // New Login: starts a second copy of the program. False when the executable is missing.
    bool LaunchLogin();
    // Asks whether to keep this session; returns true when this window should stay open.
    bool NewLoginActions();

    // Exit, close, New Login and signals: a running script stops at its next line or wait, and
    // the request it is waiting for is abandoned.
    void RequestStopScript();

    // The first activation without its widget work: the login dialog (unless a start-up script
    // was named), saving, the red light, the first connection, the local listing. False when
    // the login stayed pending (the window then closes).
    bool Start();
    // File > Exit and the Exit button: stop a script, clear the panels, save.
    void Stop();

    AppPaths paths;
    LogFile logFile;  // a copy of the displayed log, in the work folder
    CfgFile cfg;
    Settings settings{cfg};
    QString versionText;
    QString startupScript;
    QString startupSiteNum;
    // "--demo-site=HOST:PORT": the local demo server the first command started.
    QString demoSite;
    QString winUserName;
    bool loginCancelled = false;
    // A script named on the command line runs without a person to answer questions.
    bool unattended = false;
    bool loginPending = false;
    bool firstActivation = true;
    bool scriptRunning = false;
    QString zosSettingText = "?";
    // Set while a batch transfer runs; a lost connection clears it.
    bool batchTransferRunning = false;
    // Set by the abort button while logs are being retrieved.
    bool logRetrievalCancel = false;

    // One object per subject.
    std::unique_ptr<LoginActions> login;     // site management and the login dialog's rules
    std::unique_ptr<LocalPane> localPane;    // the left half of the main window
    std::unique_ptr<Session> session;        // the remote session, light and reconnection
    std::unique_ptr<RemotePane> remotePane;  // the remote listing, cache and navigation
    std::unique_ptr<Transfers> transfers;    // uploads and downloads, one file and batches
    std::unique_ptr<RemoteOperations> remoteOperations;  // delete, rename, mkdir, chmod
    std::unique_ptr<ScriptRunner> scripts;               // transfer scripts and their schedule
    std::unique_ptr<ProcmailUpdate> procmail;            // the recipe's edit cycle on the server
    std::unique_ptr<LogRetrieval> logRetrieval;          // web logs into month folders
    std::unique_ptr<LogProcessing> logProcessing;        // a month of web logs to CSV

    // The first connection after OK in the login dialog (tests replace it).
    std::function<void()> requestConnect;
    // Runs the start-up script instead of the first directory.
    std::function<void()> runStartupScript;

    // Starts a detached program; replaced in tests.
    std::function<bool(const QString& program)> startDetached;
    // Writes one line to standard error (replaced by tests).
    std::function<void(const QString& line)> printError;

    UserInterface& Ui() { return m_ui; }

private:
    UserInterface& m_ui;
};
