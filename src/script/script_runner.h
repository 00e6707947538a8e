#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "script/script_text.h"
#include "transfer/batch_sender.h"

class RemoteOperations;
class SettingsStore;
struct RunState;
class LocalPane;
class QEventLoop;
class RemotePane;
class Session;
class Transfers;
class UserInterface;

// Transfer scripts: choosing the file, the validation pass, the interval or daily schedule and
// the interpretation of each run's lines. Runs on the user-interface thread; every wait is an
// event loop woken by a timer or by a stop request, so the window stays alive and an idle
// script uses no processor. Reaches the person only through UserInterface.
class Synchroniser;

class ScriptRunner {
public:
    // Exit statuses of an unattended run.
    static constexpr int kAllSucceeded = 0;
    static constexpr int kSomethingFailed = 1;
    static constexpr int kCouldNotStart = 2;

    ScriptRunner(SettingsStore& store, RunState& run, UserInterface& ui, Session& session,
                 RemotePane& pane, LocalPane& local, Transfers& transfers,
                 RemoteOperations& operations, Synchroniser& synchroniser);
    ~ScriptRunner();

    // The whole runner: select, validate, run repeatedly, stop. Returns when the script has
    // stopped or could not start. Not re-entrant.
    void RunscriptActions();
    // Tools > Run Script.
    void Runscript2Click();
    void LoginForScript();
    // Starts Program with Parameters and waits for it to end; false when it could not start.
    bool RunProgramAndWait(const QString& program, const QString& parameters);
    // Opens FileName in the favoured editor and waits until it is closed (known editors are
    // started with their wait switch; one that still returns at once makes the person confirm
    // that editing is finished). False when the editor could not start.
    bool EditFileAndWait(const QString& fileName);
    // An editor that returns sooner than this is taken to have handed the file on.
    int editorQuickReturnMs = 2000;

    // The abort button, window close, New Login, Exit and signals: the script stops at the next
    // line or wait.
    void RequestStop();

    // 0 when every transfer and deletion of the last run succeeded, 1 when one failed (or the
    // run was cut short), 2 when the script could not start.
    int ExitStatus() const { return m_exitStatus; }

    // The clock of the schedule and the time symbols (tests replace it).
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
    // Daily scripts re-check the clock at most this often.
    int dailyCheckMs = 30000;

private:
    enum class Flow { Next, EndRun };

    bool StartAndWait(const QString& program, const QStringList& arguments);
    bool Prepare(const QString& fileName, ScriptCheck& check);
    void RunLoop(const ScriptCheck& check);
    // Waits up to Ms (an event loop, woken early by a stop); false when stopped.
    bool Wait(qint64 ms);
    bool WaitForDailyTime(const DailyTime& time);
    void ShowRunLabels(const ScriptSchedule& schedule);
    void InterpretLines();
    Flow ExecuteLine(const QString& raw);
    void Unknown(const QString& raw);
    void Fail() { m_failed = true; }
    // A failure that ends the run (login, a directory change, a lost connection).
    Flow EndRunOnFailure() {
        Fail();
        m_endedOnFailure = true;
        return Flow::EndRun;
    }
    // An unattended run of a script that would close the program anyway ends with a failure
    // instead of sleeping until its next run.
    bool EndsProgramOnFailure() const;

    void LocalMkdir(const QString& name);
    void RemoteMkdir(const QString& name);
    void RunProgram(const QString& command, const QString& rest);
    void Sleep(const QString& seconds);
    void If(const QString& line);
    void Upload(const QString& command, const QString& p1, const QString& p2, const QString& raw);
    void Download(const QString& command, const QString& p1, const QString& p2);
    // A pattern's files several at once (Transfers::SendTogether); NotSent gets each that is
    // left for one by one. False, with the run marked failed, when Cancel or a lost session
    // stopped it.
    bool SendTogether(const std::vector<BatchJob>& jobs,
                      const std::function<void(const BatchJob&, bool ok)>& ended,
                      const std::function<void(const BatchJob&)>& notSent);
    void RemoteDeletion(const QString& command, const QString& p1);
    void LocalDeletion(const QString& command, const QString& p1);

    bool Zos() const;
    bool LoggedIn() const;
    // Remote file names equal, upper-cased on z/OS.
    bool SameRemoteName(const QString& a, const QString& b) const;
    bool RemoteFilePresent(const QString& name) const;
    QString DateText(const QDateTime& t) const;
    QString TimeText(const QDateTime& t) const;

    SettingsStore& m_store;
    RunState& m_run;
    UserInterface& m_ui;
    Session& m_session;
    RemotePane& m_pane;
    LocalPane& m_local;
    Transfers& m_transfers;
    RemoteOperations& m_operations;
    Synchroniser& m_synchroniser;

    QStringList m_lines;
    bool m_stop = false;
    bool m_stopAtLine = false;  // a stop from outside ends the run at the next line
    bool m_needsLogin = false;
    QDate m_lastRunDate;
    int m_runCount = 0;
    QDateTime m_runStart;
    QString m_skipMarker;
    bool m_failed = false;
    bool m_endedOnFailure = false;
    bool m_holdsExitVorlen = false;
    bool m_exitProgram = false;
    int m_exitStatus = kCouldNotStart;
    QEventLoop* m_wait = nullptr;
};
