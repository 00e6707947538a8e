#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "app/log_file.h"
#include "runtime/app_paths.h"
#include "runtime/run_state.h"
#include "runtime/settings_store.h"

class UserInterface;
class LocalPane;
class LoginActions;
class Session;
class RemotePane;
class RemoteOperations;
class LogProcessing;
class LogRetrieval;
class ProcmailUpdate;
class RemoteEdits;
class ScriptRunner;
class Synchroniser;
class BatchSender;
class Transfers;

// The composition root: builds one object per subject in dependency order, gives each what it
// uses (the settings store, the run state, the UserInterface, the siblings it calls), wires the
// hooks that go upward, and holds the start-up and shutdown commands. The main window owns one;
// it speaks to the person only through UserInterface, so it runs headless in tests.
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
    SettingsStore store;
    CfgFile& cfg = store.cfg;
    Settings& settings = store.settings;
    RunState run;
    QString startupSiteNum;
    // "--demo-site=HOST:PORT": the local demo server the first command started.
    QString demoSite;
    bool firstActivation = true;
    QString zosSettingText = "?";

    // One object per subject.
    std::unique_ptr<LoginActions> login;     // site management and the login dialog's rules
    std::unique_ptr<LocalPane> localPane;    // the left half of the main window
    std::unique_ptr<Session> session;        // the remote session, light and reconnection
    std::unique_ptr<RemotePane> remotePane;  // the remote listing, cache and navigation
    std::unique_ptr<BatchSender> batches;    // several files of a batch at once
    std::unique_ptr<Transfers> transfers;    // uploads and downloads, one file and batches
    std::unique_ptr<RemoteOperations> remoteOperations;  // delete, rename, mkdir, chmod
    std::unique_ptr<ScriptRunner> scripts;               // transfer scripts and their schedule
    std::unique_ptr<ProcmailUpdate> procmail;            // the recipe's edit cycle on the server
    std::unique_ptr<LogRetrieval> logRetrieval;          // web logs into month folders
    std::unique_ptr<LogProcessing> logProcessing;        // a month of web logs to CSV
    std::unique_ptr<RemoteEdits> remoteEdits;            // remote files open in the editor
    std::unique_ptr<Synchroniser> synchroniser;          // a local tree against a remote one

    // The first connection after OK in the login dialog (tests replace it).
    std::function<void()> requestConnect;

    // Starts a detached program; replaced in tests.
    std::function<bool(const QString& program)> startDetached;
    // Writes one line to standard error (replaced by tests).
    std::function<void(const QString& line)> printError;

private:
    UserInterface& m_ui;
};
