#include "app/unattended.h"

#include <QCoreApplication>
#include <QTime>
#include <cstdio>
#include <cstdlib>

#include "app/app_core.h"
#include "platform/platform.h"
#include "platform/stop_signals.h"
#include "script/script_runner.h"

namespace {

QString AnswerName(ModalResult answer) {
    switch (answer) {
        case ModalResult::No:
            return "No";
        case ModalResult::Cancel:
            return "Cancel";
        case ModalResult::OK:
            return "OK";
        default:
            return "nothing";
    }
}

}  // namespace

ModalResult UnattendedUserInterface::ColorMsgDlg(const QString& text, MsgDlgType type,
                                                 MsgDlgButtons buttons) {
    messages.append({text, type, buttons});
    const ModalResult answer = buttons.testFlag(MsgDlgBtn::No)       ? ModalResult::No
                               : buttons.testFlag(MsgDlgBtn::Cancel) ? ModalResult::Cancel
                               : buttons.testFlag(MsgDlgBtn::OK)     ? ModalResult::OK
                                                                     : ModalResult::None;
    const QString kind = type == MsgDlgType::Error     ? "Error"
                         : type == MsgDlgType::Warning ? "Warning"
                                                       : "Message";
    LogText(kind + ": " + text.trimmed());
    if (buttons != MsgDlgButtons(MsgDlgBtn::OK)) {
        LogText("(answered " + AnswerName(answer) + " - nobody is there to choose)");
    }
    return answer;
}

bool UnattendedUserInterface::InputQuery(const QString& title, const QString& prompt,
                                         QString& value) {
    (void)value;
    LogText("Question not answered in an unattended run: " + title + " - " + prompt);
    return false;
}

PasswordAnswer UnattendedUserInterface::AskPassword(const QString& line1, const QString& line2) {
    LogText("A password was asked for (" + line1 + " " + line2 +
            ") - an unattended run uses only the saved password");
    return {};
}

QString UnattendedUserInterface::AskScriptFileName(const QString& initial) {
    (void)initial;
    return QString();
}

void UnattendedUserInterface::LogText(const QString& text) {
    if (text.trimmed().isEmpty()) {
        return;
    }
    ScriptedUserInterface::LogText(text);
    const QString line = QTime::currentTime().toString("HH:mm:ss") + " " + text;
    std::fputs((line + '\n').toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
    if (copyLine) {
        copyLine(line);
    }
}

bool DisplayAvailable() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
#else
    return true;
#endif
}

int RunUnattended(const QStringList& arguments) {
    UnattendedUserInterface ui;
    AppCore core(ui);
    ui.copyLine = [&core](const QString& line) { core.logFile.Append(line); };
    if (!core.FormCreate(arguments)) {
        return ScriptRunner::kCouldNotStart;
    }
    if (core.run.startupScript.isEmpty()) {
        ui.LogText(
            "No script to run: without a display Vorlen FTP runs only a script named with "
            "-s (see vorlen --help)");
        return ScriptRunner::kCouldNotStart;
    }
    QObject signalContext;
    int stops = 0;
    platform::WatchStopSignals(&signalContext, [&] {
        if (++stops > 1) {
            std::fputs("Second stop signal - ending at once\n", stdout);
            std::fflush(stdout);
            std::_Exit(ScriptRunner::kSomethingFailed);
        }
        ui.LogText("Stop signal received - the script stops after the current step");
        core.RequestStopScript();
    });
    core.store.GetSiteSettings();
    core.Start();
    core.Stop();
    return core.scripts->ExitStatus();
}
