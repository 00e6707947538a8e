#include "script/script_runner.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QStringDecoder>
#include <QTimer>
#include <algorithm>

#include "config/words.h"
#include "listing/text_words.h"
#include "panes/local_pane.h"
#include "panes/remote_pane.h"
#include "platform/platform.h"
#include "runtime/run_state.h"
#include "runtime/settings_store.h"
#include "runtime/user_interface.h"
#include "session/session.h"
#include "transfer/remote_operations.h"
#include "transfer/synchroniser.h"
#include "transfer/transfers.h"

namespace {

// The fixed past date a script starts with, so that a daily script runs on its first day.
const QDate kNeverRan(2012, 12, 12);

// Script lines from the file's bytes; false with Why when it is not text.
bool DecodeScript(const QByteArray& bytes, QStringList& lines, QString& why) {
    if (bytes.contains('\0')) {
        why = "the file holds NUL bytes - it is not a text file";
        return false;
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (utf8.hasError()) {
        // Scripts written by older editors are often Latin-1; every byte is a character there.
        text = QString::fromLatin1(bytes);
    }
    if (text.startsWith(QChar(0xFEFF))) {
        text.remove(0, 1);
    }
    text.replace("\r\n", "\n");
    text.replace('\r', '\n');
    lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();
    }
    return true;
}

QString Hm(const QDateTime& t) {
    return t.toString("HH:mm");
}

}  // namespace

ScriptRunner::ScriptRunner(SettingsStore& store, RunState& run, UserInterface& ui, Session& session,
                           RemotePane& pane, LocalPane& local, Transfers& transfers,
                           RemoteOperations& operations, Synchroniser& synchroniser)
    : m_store(store),
      m_run(run),
      m_ui(ui),
      m_session(session),
      m_pane(pane),
      m_local(local),
      m_transfers(transfers),
      m_operations(operations),
      m_synchroniser(synchroniser) {}

ScriptRunner::~ScriptRunner() = default;

bool ScriptRunner::Zos() const {
    return m_store.settings.zosMode;
}

bool ScriptRunner::LoggedIn() const {
    return m_session.Connected();
}

QString ScriptRunner::DateText(const QDateTime& t) const {
    return t.date().toString(platform::ShortDateFormat());
}

QString ScriptRunner::TimeText(const QDateTime& t) const {
    return t.time().toString(platform::LongTimeFormat());
}

bool ScriptRunner::SameRemoteName(const QString& a, const QString& b) const {
    return Zos() ? a.toUpper() == b.toUpper() : a == b;
}

bool ScriptRunner::RemoteFilePresent(const QString& name) const {
    for (const RemoteEntry& e : m_pane.listing.files) {
        if (SameRemoteName(e.name, name)) {
            return true;
        }
    }
    return false;
}

void ScriptRunner::RequestStop() {
    m_stop = true;
    m_stopAtLine = true;
    if (m_wait != nullptr) {
        m_wait->quit();
    }
}

bool ScriptRunner::Wait(qint64 ms) {
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    // Timers hold an int of milliseconds: long waits are taken in steps.
    qint64 left = ms;
    while (left > 0 && !m_stop && !QCoreApplication::closingDown()) {
        const int step = int(std::min<qint64>(left, 3600000));
        QElapsedTimer clock;
        clock.start();
        timer.start(step);
        m_wait = &loop;
        loop.exec();
        m_wait = nullptr;
        left -= clock.elapsed();
    }
    return !m_stop;
}

void ScriptRunner::Runscript2Click() {
    RunscriptActions();
}

void ScriptRunner::RunscriptActions() {
    if (m_run.scriptRunning) {
        return;
    }
    m_stop = false;
    m_stopAtLine = false;
    m_exitProgram = false;
    m_needsLogin = false;
    m_lastRunDate = kNeverRan;
    m_runCount = 0;
    m_failed = false;
    m_exitStatus = kCouldNotStart;

    QString name = m_run.startupScript;
    if (name.isEmpty()) {
        name = m_ui.AskScriptFileName(m_store.settings.site.script).trimmed();
        if (name.isEmpty()) {
            m_exitStatus = kAllSucceeded;
            return;
        }
    }
    m_store.settings.site.script = name;
    ScriptCheck check;
    if (!Prepare(name, check)) {
        return;
    }
    m_store.settings.site.script = name;  // the site was reloaded for the check
    m_needsLogin = check.needsLogin;
    RunLoop(check);
}

bool ScriptRunner::Prepare(const QString& fileName, ScriptCheck& check) {
    if (!QFileInfo(fileName).isFile()) {
        m_ui.ShowColorMsg(fileName + " not found, please retry using a different script file name");
        return false;
    }
    m_ui.SetScriptLabel(0, "Running Script from " + fileName);
    QFile file(fileName);
    QString why;
    m_lines.clear();
    if (!file.open(QIODevice::ReadOnly)) {
        why = file.errorString();
    } else if (file.size() > 16 * 1024 * 1024) {
        why = "the file is larger than 16 MiB - it is not a script";
    } else {
        DecodeScript(file.readAll(), m_lines, why);
    }
    if (!why.isEmpty() || m_lines.isEmpty()) {
        m_ui.LogText("Error opening script file " + fileName + (why.isEmpty() ? "" : ": " + why));
        m_ui.ColorMsgDlg("Error opening script file " + fileName, MsgDlgType::Error, MsgDlgBtn::OK);
        return false;
    }
    m_ui.ClearLog();
    m_ui.LogText("Contents of script being run:");
    for (const QString& line : m_lines) {
        m_ui.LogText(line);
    }

    m_holdsExitVorlen = std::any_of(m_lines.begin(), m_lines.end(), [](const QString& line) {
        return TextWord(line, 1).toUpper() == "EXIT" && TextWord(line, 2).toUpper() == "VORLEN";
    });
    check = ValidateScript(m_lines);
    for (const ScriptCheck::Notice& notice : check.notices) {
        if (notice.dialog) {
            m_ui.ColorMsgDlg(notice.text, MsgDlgType::Error, MsgDlgBtn::OK);
        } else {
            m_ui.LogText(notice.text);
        }
    }
    if (check.error) {
        return false;
    }
    if (check.needsLogin) {
        if (!LoggedIn()) {
            m_store.GetSiteSettings();
        }
        const SiteProfile& site = m_store.settings.site;
        if (m_store.settings.NumSites() == 0 || site.domain.trimmed().isEmpty()) {
            m_ui.ColorMsgDlg("No remote site selected - please login and retry the script",
                             MsgDlgType::Error, MsgDlgBtn::OK);
            return false;
        }
        // An SSH site that names its key logs in with it (or with the agent holding it).
        const bool keyLogin = (site.ssh || m_store.settings.sshMode) && !site.keyFile.isEmpty();
        if (!keyLogin && (!site.savePw || site.sessionPassword == kNoPasswordMark)) {
            m_ui.ShowColorMsg(
                "Cannot run scripts for this site because script needs remote login and "
                "password not saved");
            return false;
        }
    }
    return true;
}

void ScriptRunner::RunLoop(const ScriptCheck& check) {
    const ScriptSchedule& schedule = check.schedule;
    m_ui.LogText("Using script file " + m_store.settings.site.script);
    m_store.UpdateSettings();
    m_run.scriptRunning = true;
    m_ui.ShowScriptView(true);
    m_ui.DisableGridsEtc();
    m_ui.LogText(" ");
    m_ui.SetScriptLabel(1, QString());

    while (!m_stop) {
        if (schedule.daily && !WaitForDailyTime(schedule.time)) {
            break;
        }
        m_failed = false;
        m_endedOnFailure = false;
        m_stopAtLine = false;
        bool loginFailed = false;
        if (m_needsLogin) {
            if (!LoggedIn()) {
                m_store.GetSiteSettings();
            }
            LoginForScript();
            m_store.UpdateSettings();
            loginFailed = !LoggedIn();
        }
        ++m_runCount;
        m_runStart = now();
        ShowRunLabels(schedule);
        const int savedMode = m_ui.TransferModeIndex();
        m_ui.SetTransferModeIndex(0);
        m_skipMarker.clear();
        if (loginFailed && EndsProgramOnFailure()) {
            EndRunOnFailure();
        } else if (!m_stop) {
            InterpretLines();
        }

        m_lastRunDate = now().date();
        if (m_needsLogin && LoggedIn()) {
            m_session.RequestDisconnect();
        }
        m_ui.SetTransferModeIndex(savedMode);
        const QDateTime end = now();
        m_ui.LogText("Script actions completed at " + TimeText(end) + " on " + DateText(end));
        if (m_endedOnFailure && EndsProgramOnFailure()) {
            m_ui.LogText("The run ended on a failure - the script stops and Vorlen FTP closes");
            m_stop = true;
            m_exitProgram = true;
        } else {
            m_ui.LogText("In sleep state");
        }
        m_session.ShowAbortButton(kEndScriptCaption);
        // A run cut short by a stop from outside did not do all it was asked to.
        const bool cutShort = m_stopAtLine && !m_exitProgram;
        // A failed login that ends the program reports as one that kept the script from
        // starting, whichever run it was.
        const bool loginEndsIt = loginFailed && m_endedOnFailure && EndsProgramOnFailure();
        m_exitStatus = loginFailed && (m_runCount == 1 || loginEndsIt) ? kCouldNotStart
                       : m_failed || loginFailed || cutShort           ? kSomethingFailed
                                                                       : kAllSucceeded;
        if (m_stop) {
            break;
        }
        if (schedule.daily) {
            m_ui.LogText("Timer based actions run at " + QString::number(schedule.time.hour) + ":" +
                         QStringLiteral("%1").arg(schedule.time.minute, 2, 10, QChar('0')) +
                         " daily");
            m_ui.LogText("... waiting");
        } else {
            Wait(qint64(schedule.intervalMinutes) * 60000);
        }
    }

    m_stop = false;
    const QDateTime end = now();
    m_ui.LogText("Stopping at " + TimeText(end) + " on " + DateText(end));
    m_ui.LogText("Script actions have stopped.");
    m_ui.LogText("You should now exit, connect or run another script.");
    if (LoggedIn()) {
        m_pane.RefreshRemoteDirectoryList();
    }
    // The script may have changed the local folder (downloads, deletions, programs it ran).
    m_local.RefreshLocal();
    m_ui.ShowScriptView(false);
    m_run.scriptRunning = false;
    m_session.HideAbortButton();
    m_ui.EnableGridsEtc();
    if (m_exitProgram) {
        m_ui.CloseMainWindow();
    }
}

bool ScriptRunner::WaitForDailyTime(const DailyTime& time) {
    const QDateTime started = now();
    for (;;) {
        const QDateTime t = now();
        if (t.time().hour() == time.hour && t.time().minute() == time.minute &&
            m_lastRunDate != t.date()) {
            return true;
        }
        // However the clock moves, a daily script runs at least every two days.
        if (started.secsTo(t) >= 2880 * 60) {
            return true;
        }
        // Sleep until the time comes round (re-checked now and then: clocks jump).
        QDateTime target(t.date(), QTime(time.hour, time.minute));
        if (target <= t || m_lastRunDate == t.date()) {
            target = target.addDays(1);
        }
        const qint64 ms = std::clamp<qint64>(t.msecsTo(target), 200, dailyCheckMs);
        if (!Wait(ms)) {
            return false;
        }
    }
}

void ScriptRunner::ShowRunLabels(const ScriptSchedule& schedule) {
    const QString when = DateText(m_runStart) + " " + Hm(m_runStart);
    if (m_runCount == 1) {
        m_ui.SetScriptLabel(1, "First time script ran: " + when);
        m_ui.SetScriptLabel(
            4, schedule.daily
                   ? QStringLiteral("Time of day when script runs: %1:%2")
                         .arg(schedule.time.hour, 2, 10, QChar('0'))
                         .arg(schedule.time.minute, 2, 10, QChar('0'))
                   : "Time in minutes between runs: " + QString::number(schedule.intervalMinutes));
    }
    m_ui.SetScriptLabel(2, "Last time script ran: " + when);
    m_ui.SetScriptLabel(3, "Number of times script has run: " + QString::number(m_runCount));
}

void ScriptRunner::LoginForScript() {
    if (LoggedIn()) {
        m_session.RequestDisconnect();
    }
    m_ui.ProcessMessages();
    m_session.ConnectAndSetDirNoDirInfo(m_store.settings.site.infRemDirs.value(0, "?"));
    if (!LoggedIn()) {
        m_ui.LogText("Login for the script failed");
        return;
    }
    m_pane.AddRemDirToCmbx(m_session.currentRemoteDir, false);
    m_pane.RefreshRemoteDirectoryList();
    m_ui.LogText("PC time logged in: " + now().toString("HH:mm:ss, yyyy-MM-dd"));
    m_session.Remote()->AfterScriptLogin();
    m_local.RefreshLocal();
}

void ScriptRunner::InterpretLines() {
    for (const QString& raw : m_lines) {
        const bool wasLoggedIn = LoggedIn();
        if (m_stopAtLine || ExecuteLine(raw) == Flow::EndRun) {
            return;
        }
        if (wasLoggedIn && !LoggedIn() && EndsProgramOnFailure()) {
            m_ui.LogText("Connection lost - ending this run");
            EndRunOnFailure();
            return;
        }
    }
}

bool ScriptRunner::EndsProgramOnFailure() const {
    return m_run.unattended && m_holdsExitVorlen;
}

ScriptRunner::Flow ScriptRunner::ExecuteLine(const QString& raw) {
    const QString line = ApplyTimeSymbols(raw, m_runStart);
    const QString command = TextWord(line, 1).toUpper();
    if (!m_skipMarker.isEmpty()) {
        if (command == m_skipMarker) {
            m_skipMarker.clear();
            m_ui.LogText(raw);
        }
        return Flow::Next;
    }
    if (command.isEmpty() || command.startsWith("END-")) {
        return Flow::Next;
    }
    m_ui.LogText(raw);
    if (command.startsWith('#')) {
        return Flow::Next;
    }
    const QString p1 = TextWord(line, 2);
    const QString p2 = TextWord(line, 3);
    const QString rest = RestOfLine(line);

    if (command == "EXIT") {
        const QString what = p1.toUpper();
        if (what == "SCRIPT" || what == "VORLEN") {
            m_stop = true;
            m_exitProgram = what == "VORLEN";
            return Flow::EndRun;
        }
        if (what == "ITERATION") {
            return Flow::EndRun;
        }
        Unknown(raw);
    } else if (command == "TIME-BETWEEN-RUNS" || command == "TIME-OF-RUN") {
        // Read by the validation pass.
    } else if (command == "BINARY" || command == "ASCII" || command == "ASCII-AUTO") {
        m_ui.SetTransferModeIndex(command == "BINARY" ? 2 : command == "ASCII" ? 1 : 0);
    } else if (command == "LOC-MKDIR" && !p1.isEmpty()) {
        LocalMkdir(p1);
    } else if (command == "REM-MKDIR" && !p1.isEmpty()) {
        RemoteMkdir(p1);
    } else if (command == "REM-CD" || command == "LOC-CD") {
        if (rest.isEmpty()) {
            m_ui.LogText(command + " with no parameters ignored");
        } else if (command == "REM-CD") {
            m_session.nextDir = rest;
            if (!m_pane.ChangeRemoteDirectoryIfNextDirValid() || !LoggedIn()) {
                // Later lines would act in the wrong directory.
                m_ui.LogText("Could not change to remote directory " + rest + " - ending this run");
                return EndRunOnFailure();
            }
            m_pane.RefreshRemoteDirectoryList();
        } else {
            const QString target = platform::IsRootedLocalPath(rest)
                                       ? rest
                                       : m_local.CurrentDir() + platform::LocalSeparator() + rest;
            if (!QFileInfo(target).isDir()) {
                m_ui.LogText("Local directory " + target + " does not exist - ending this run");
                return EndRunOnFailure();
            }
            m_local.ChangeLocalDirectory(rest);
        }
    } else if (command == "RUN-WITHOUT-WAIT" || command == "RUN-AND-WAIT") {
        if (rest.isEmpty()) {
            m_ui.LogText(command + " with no parameters ignored");
        } else {
            RunProgram(command, rest);
        }
    } else if (command == "SLEEP") {
        Sleep(p1);
    } else if (command == "IF") {
        If(line);
    } else if (command == "PUT" || command == "PUT-NEW" || command == "EVICT" ||
               command == "EVICT-NEW") {
        if (p1.isEmpty()) {
            Unknown(raw);
        } else {
            Upload(command, p1, p2, raw);
        }
    } else if (command == "GET" || command == "GET-NEW" || command == "GRAB" ||
               command == "GRAB-NEW") {
        if (p1.isEmpty()) {
            Unknown(raw);
        } else {
            Download(command, p1, p2);
        }
    } else if (command == "SYNC-UP" || command == "SYNC-DOWN") {
        // Validated before the run: no parameter, or -DELETE.
        if (!m_synchroniser.Synchronise(command == "SYNC-UP", !p1.isEmpty()).Ok()) {
            Fail();
        }
    } else if ((command == "REM-DEL" || command == "REM-DEL-IF-IN-LOC-DIR") && !p1.isEmpty()) {
        RemoteDeletion(command, p1);
    } else if ((command == "LOC-DEL" || command == "LOC-DEL-IF-IN-REM-DIR") && !p1.isEmpty()) {
        LocalDeletion(command, p1);
    } else {
        Unknown(raw);
    }
    return Flow::Next;
}

void ScriptRunner::Unknown(const QString& raw) {
    const QDateTime t = now();
    const QString stamp = DateText(t) + " " + TimeText(t) + " ";
    m_ui.LogText(stamp + raw);
    m_ui.LogText(stamp + "Above script line ignored because meaning unknown");
}

void ScriptRunner::LocalMkdir(const QString& name) {
    for (const LocalEntry& e : m_local.Entries()) {
        if (e.name.compare(name, Qt::CaseInsensitive) == 0) {
            m_ui.LogText("Cannot create folder " + name + " because a " +
                         (e.IsDirectory() ? "folder" : "file") + " with that name already exists");
            return;
        }
    }
    if (!QDir(m_local.CurrentDir()).mkdir(name)) {
        m_ui.LogText("Cannot create folder " + name + " in " + m_local.CurrentDir());
        Fail();
    }
    m_local.RefreshLocal();
}

void ScriptRunner::RemoteMkdir(const QString& name) {
    for (const RemoteEntry& e : m_pane.listing.dirs) {
        if (e.name.compare(name, Qt::CaseInsensitive) == 0) {
            m_ui.LogText("Cannot create directory " + name +
                         " because a directory with that name is already present");
            return;
        }
    }
    m_ui.StatusBarGeneral(" Creating remote directory");
    if (!m_operations.MakeRemoteDirectory(name)) {
        Fail();
    }
    m_pane.RefreshRemoteDirectoryList();
}

void ScriptRunner::RunProgram(const QString& command, const QString& rest) {
    const ProgramLine split = SplitProgramLine(rest);
    if (command == "RUN-AND-WAIT") {
        RunProgramAndWait(split.program, split.parameters);
        return;
    }
    if (!QProcess::startDetached(split.program, ProgramArguments(split.parameters),
                                 m_local.CurrentDir())) {
        m_ui.LogText("Error spawning " + split.program);
    }
}

bool ScriptRunner::RunProgramAndWait(const QString& program, const QString& parameters) {
    return StartAndWait(program.trimmed(), ProgramArguments(parameters.trimmed()));
}

bool ScriptRunner::StartAndWait(const QString& program, const QStringList& arguments) {
    QProcess process;
    // The child's output goes where ours goes (the terminal, cron's mail), and never fills a
    // pipe nobody reads.
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    process.setWorkingDirectory(m_local.CurrentDir());
    QEventLoop loop;
    bool failedToStart = false;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            failedToStart = true;
            loop.quit();
        }
    });
    process.start(program, arguments);
    bool stopping = false;
    while (!failedToStart && process.state() != QProcess::NotRunning) {
        m_wait = &loop;
        loop.exec();
        m_wait = nullptr;
        if (m_stop && !stopping && process.state() != QProcess::NotRunning) {
            // A stop (a signal, the window closing) ends the child too, politely first.
            stopping = true;
            m_ui.LogText("Ending " + program + " because the script is stopping");
            process.terminate();
            QTimer::singleShot(5000, &process, &QProcess::kill);
        }
    }
    if (failedToStart) {
        m_ui.LogText("Error spawning " + program);
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        m_ui.LogText(
            QStringLiteral("%1 ended with exit code %2")
                .arg(program)
                .arg(process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1));
    }
    return true;
}

bool ScriptRunner::EditFileAndWait(const QString& fileName) {
    const QString editor = m_store.settings.common.favoredEditor.trimmed();
    // The setting may carry switches of its own ("emacsclient -c"), unless it names a file.
    QStringList parts = QFileInfo::exists(editor) ? QStringList{editor} : ProgramArguments(editor);
    if (parts.isEmpty()) {
        return false;
    }
    const QString program = parts.takeFirst();
    QElapsedTimer clock;
    clock.start();
    if (!StartAndWait(program, parts + EditorArguments(program, fileName))) {
        return false;
    }
    if (clock.elapsed() < editorQuickReturnMs) {
        // Many editors hand the file to a window already open and return at once.
        m_ui.ColorMsgDlg(
            "The editor returned at once and may still be open.\r\n\r\nPlease finish "
            "editing " +
                fileName + " and save it, then press OK to go on.",
            MsgDlgType::Information, MsgDlgBtn::OK);
    }
    return true;
}

void ScriptRunner::Sleep(const QString& seconds) {
    qint64 ms = 2000;
    if (IsWholeNumber(seconds)) {
        m_ui.LogText("Sleeping for " + seconds + " seconds");
        ms = qint64(WholeNumberOr(seconds, 0)) * 1000;
    } else {
        m_ui.LogText("Non integer SLEEP parameter interpreted as 2 seconds");
    }
    m_session.ShowAbortButton(kEndScriptCaption);
    Wait(ms);
    m_session.HideAbortButton();
}

void ScriptRunner::If(const QString& line) {
    const IfStatement s = ParseIf(line);
    bool condition = false;
    switch (s.kind) {
        case IfStatement::Kind::Invalid:
            m_ui.LogText("Invalid IF statement ignored");
            return;
        case IfStatement::Kind::DayOfWeek: {
            const QString day = QLocale(QLocale::English).dayName(now().date().dayOfWeek());
            m_ui.LogText("Day of week is " + day);
            condition = s.argument.toUpper().contains(day.toUpper());
            break;
        }
        case IfStatement::Kind::LocalFileExists: {
            const QString path =
                platform::IsRootedLocalPath(s.argument)
                    ? s.argument
                    : m_local.CurrentDir() + platform::LocalSeparator() + s.argument;
            condition = QFileInfo::exists(path);
            m_ui.LogText(condition ? "File specified in IF statement exists"
                                   : "File specified in IF statement does not exist");
            break;
        }
        case IfStatement::Kind::RemoteFileExists: {
            const QString separator = Zos() ? "." : "/";
            if (s.argument.contains(separator)) {
                m_ui.LogText(
                    "Remote file specified in IF statement should be a simple filename with no "
                    "directory delimiter like " +
                    separator);
                condition = true;
            } else {
                condition = RemoteFilePresent(s.argument);
                m_ui.LogText(condition ? "File specified in IF statement exists"
                                       : "File specified in IF statement does not exist");
            }
            break;
        }
    }
    if (condition != s.negate) {
        return;
    }
    if (!s.hasSection) {
        m_ui.LogText("IF statement ignored because BEGIN-section not present");
        return;
    }
    m_skipMarker = s.endMarker;
}

void ScriptRunner::Upload(const QString& command, const QString& p1, const QString& p2,
                          const QString& raw) {
    const bool onlyNew = command.endsWith("-NEW");
    const bool evict = command.startsWith("EVICT");
    const LocalPattern source = SplitLocalPattern(p1, m_local.CurrentDir());
    const QString pattern = Zos() ? source.name.toUpper() : source.name;
    const QString remoteName =
        Zos() ? (p2.isEmpty() ? pattern : p2.toUpper()) : (p2.isEmpty() ? pattern : p2);
    if (!QFileInfo(source.dir).isDir()) {
        m_ui.LogText("Directory " + source.dir + " does not exist, ignoring this request:");
        m_ui.LogText(raw);
        Fail();
        return;
    }
    const bool star = pattern.contains('*');
    auto after = [&](const QString& path, bool ok) {
        if (!ok) {
            m_ui.LogText("Upload of " + path + " failed");
            Fail();
        } else if (evict) {
            if (QFile::remove(path) || !QFileInfo::exists(path)) {
                m_ui.LogText(path + " deleted");
            } else {
                m_ui.LogText("Problem deleting " + path);
                Fail();
            }
            m_local.RefreshLocal();
        }
    };
    auto uploadOne = [&](const LocalItem& item, const QString& target) {
        const QString path = source.dir + item.name;
        m_session.requestErrorList.clear();
        m_transfers.transferSize = item.size;
        m_transfers.SetXferModeFromRgrp(item.name);
        m_transfers.UploadFile(target, path, true);
        after(path, m_transfers.lastTransferOk && m_session.requestErrorList.isEmpty());
        m_pane.RefreshRemoteDirectoryList();
    };
    bool matched = false;
    std::vector<LocalItem> chosen;  // a pattern's files, sent together where the session can
    for (const LocalItem& item : ListLocalDirectory(source.dir, "*", true, false, false)) {
        if (item.isDirectory ||
            !MatchStarPattern(Zos() ? item.name.toUpper() : item.name, pattern)) {
            continue;
        }
        matched = true;
        const QString target = star ? item.name : remoteName;
        if (onlyNew && RemoteFilePresent(target)) {
            m_ui.LogText("No upload of file " + (star ? item.name : p1) +
                         " - already present in remote directory");
        } else if (star) {
            chosen.push_back(item);
        } else {
            uploadOne(item, target);
        }
        if (!star) {
            break;
        }
    }
    if (m_transfers.BatchWidth(int(chosen.size())) > 1) {
        std::vector<BatchJob> jobs;
        for (size_t i = 0; i < chosen.size(); ++i) {
            const QString& name = chosen[i].name;
            const QString sendAs = m_store.settings.site.lcUpload ? name.toLower() : name;
            jobs.push_back({true,
                            JoinRemotePath(false, m_session.currentRemoteDir, sendAs),
                            source.dir + name,
                            chosen[i].size,
                            {},
                            m_transfers.AsciiFor(name),
                            int(i)});
        }
        const std::vector<LocalItem> all = std::move(chosen);
        chosen.clear();
        if (!SendTogether(
                jobs, [&](const BatchJob& job, bool ok) { after(job.localPath, ok); },
                [&](const BatchJob& job) { chosen.push_back(all[size_t(job.tag)]); })) {
            return;
        }
        m_pane.RefreshRemoteDirectoryList();
    }
    for (const LocalItem& item : chosen) {
        uploadOne(item, item.name);
    }
    if (!matched) {
        m_ui.LogText("Could not upload file " + p1 + " - does not exist");
        // A named file that is not there is a transfer that did not happen; a pattern that
        // matches nothing just finds nothing to do.
        if (!star) {
            Fail();
        }
    }
}

bool ScriptRunner::SendTogether(const std::vector<BatchJob>& jobs,
                                const std::function<void(const BatchJob&, bool)>& ended,
                                const std::function<void(const BatchJob&)>& notSent) {
    const int mark = m_run.cancel.Mark();
    const std::vector<BatchJob> left = m_transfers.SendTogether(jobs, ended);
    if (m_run.cancel.CancelledSince(mark) || !m_session.Connected()) {
        if (!left.empty()) {
            m_ui.LogText(QStringLiteral("%1 files were not moved").arg(left.size()));
            Fail();
        }
        return false;
    }
    for (const BatchJob& job : left) {
        notSent(job);
    }
    return true;
}

void ScriptRunner::Download(const QString& command, const QString& p1, const QString& p2) {
    const bool onlyNew = command.endsWith("-NEW");
    const bool grab = command.startsWith("GRAB");
    const LocalPattern target = SplitLocalPattern(p2.isEmpty() ? p1 : p2, m_local.CurrentDir());
    const bool star = target.name.contains('*');
    // The candidates first: downloads and deletions change the listing under the walk.
    std::vector<RemoteEntry> taken;
    for (const RemoteEntry& e : m_pane.listing.files) {
        const bool match =
            star ? MatchStarPattern(Zos() ? e.name.toUpper() : e.name, Zos() ? p1.toUpper() : p1)
                 : SameRemoteName(e.name, p1);
        if (match) {
            taken.push_back(e);
            if (!star) {
                break;
            }
        }
    }
    bool downloaded = false;
    auto after = [&](const RemoteEntry& e, bool ok) {
        if (!ok) {
            m_ui.LogText("Download of " + e.name + " failed");
            Fail();
            return;
        }
        if (grab) {
            if (!m_operations.RemoteDelete(m_session.currentRemoteDir, e.name, "F")) {
                Fail();
                return;
            }
            auto& files = m_pane.listing.files;
            for (size_t i = 0; i < files.size(); ++i) {
                if (files[i].name == e.name) {
                    RemoteArrayDel(m_pane.listing, int(i), m_pane.cache, Zos(),
                                   m_session.currentRemoteDir);
                    break;
                }
            }
        }
    };
    std::vector<RemoteEntry> chosen;
    for (const RemoteEntry& e : taken) {
        if (!(onlyNew && QFileInfo::exists(target.dir + e.name))) {
            chosen.push_back(e);
        }
    }
    if (m_transfers.BatchWidth(int(chosen.size())) > 1) {
        std::vector<BatchJob> jobs;
        for (size_t i = 0; i < chosen.size(); ++i) {
            const RemoteEntry& e = chosen[i];
            const QString localName = star ? e.name : target.name;
            jobs.push_back({false,
                            JoinRemotePath(false, m_session.currentRemoteDir, e.name),
                            target.dir + localName,
                            e.size,
                            {},
                            m_transfers.AsciiFor(localName),
                            int(i)});
        }
        const std::vector<RemoteEntry> all = std::move(chosen);
        chosen.clear();
        std::vector<RemoteEntry> arrived;  // grabbed ones are deleted once all have moved
        downloaded = true;
        const bool sent = SendTogether(
            jobs,
            [&](const BatchJob& job, bool ok) {
                if (ok) {
                    arrived.push_back(all[size_t(job.tag)]);
                } else {
                    after(all[size_t(job.tag)], false);
                }
            },
            [&](const BatchJob& job) { chosen.push_back(all[size_t(job.tag)]); });
        for (const RemoteEntry& e : arrived) {
            after(e, true);
        }
        if (!sent) {
            chosen.clear();
        }
    }
    for (const RemoteEntry& e : chosen) {
        const QString localName = star ? e.name : target.name;
        const qint64 tracks = e.size * 56664;
        m_transfers.transferSize = !Zos() ? e.size : tracks == 0 ? 2147483647 : tracks;
        m_transfers.zosDownload = Zos();
        m_session.requestErrorList.clear();
        m_transfers.SetXferModeFromRgrp(localName);
        m_transfers.DownloadFile(e.name, target.dir + localName);
        downloaded = true;
        after(e, m_transfers.lastTransferOk && m_session.requestErrorList.isEmpty());
    }
    if (grab && downloaded) {
        m_pane.SortRemoteArraysAndPopulateListview();
    }
    if (!downloaded) {
        m_ui.LogText("No download of " + p1 + " - not found");
        // Unless a pattern was asked for (a star in the name and in the target).
        if (taken.empty() && !(star && p1.contains('*'))) {
            Fail();
        }
    }
}

void ScriptRunner::RemoteDeletion(const QString& command, const QString& p1) {
    const bool ifInLocal = command == "REM-DEL-IF-IN-LOC-DIR";
    QStringList names;
    for (const RemoteEntry& e : m_pane.listing.files) {
        // On z/OS the name is matched, and then used, upper-cased.
        const bool upper = !MatchStarPattern(e.name, p1) && Zos() &&
                           MatchStarPattern(e.name.toUpper(), p1.toUpper());
        if (!upper && !MatchStarPattern(e.name, p1)) {
            continue;
        }
        const QString name = upper ? e.name.toUpper() : e.name;
        if (ifInLocal &&
            !QFileInfo(m_local.CurrentDir() + platform::LocalSeparator() + e.name).isFile()) {
            continue;
        }
        names.append(name);
    }
    bool deleted = false;
    for (const QString& name : names) {
        if (!m_operations.RemoteDelete(m_session.currentRemoteDir, name, "F")) {
            Fail();
            continue;
        }
        deleted = true;
        auto& files = m_pane.listing.files;
        for (size_t i = 0; i < files.size(); ++i) {
            if (SameRemoteName(files[i].name, name)) {
                RemoteArrayDel(m_pane.listing, int(i), m_pane.cache, Zos(),
                               m_session.currentRemoteDir);
                break;
            }
        }
    }
    if (deleted) {
        m_pane.SortRemoteArraysAndPopulateListview();
    } else if (ifInLocal) {
        m_ui.LogText("Remote file " + p1 + " not deleted - not  found or already in local dir");
    } else {
        m_ui.LogText("Remote file " + p1 + " not deleted - not found");
    }
}

void ScriptRunner::LocalDeletion(const QString& command, const QString& p1) {
    const bool ifInRemote = command == "LOC-DEL-IF-IN-REM-DIR";
    const LocalPattern source = SplitLocalPattern(p1, m_local.CurrentDir());
    const bool star = source.name.contains('*');
    bool matched = false;
    for (const LocalItem& item : ListLocalDirectory(source.dir, "*", true, false, false)) {
        if (item.isDirectory || !MatchStarPattern(item.name, source.name)) {
            continue;
        }
        if (ifInRemote && !RemoteFilePresent(item.name)) {
            continue;
        }
        matched = true;
        const QString path = source.dir + item.name;
        QFile::remove(path);
        if (QFileInfo::exists(path)) {
            m_ui.LogText("Problem deleting " + path);
            Fail();
        } else {
            m_ui.LogText(path + " deleted");
        }
        if (!star) {
            break;
        }
    }
    if (matched) {
        m_local.RefreshLocal();
    } else {
        m_ui.LogText(source.dir + source.name + " not found");
    }
}
