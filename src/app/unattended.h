#pragma once

#include <QStringList>
#include <functional>

#include "app/scripted_user_interface.h"

// The person's side of a run without a display: every displayed-log line goes to standard
// output with its time, and a dialog that would need a person is logged and answered with its
// safe default (No, else Cancel, else OK), so nothing waits for an answer that cannot come.
class UnattendedUserInterface : public ScriptedUserInterface {
public:
    // Also receives every log line (the program's log file).
    std::function<void(const QString& line)> copyLine;

    ModalResult ColorMsgDlg(const QString& text, MsgDlgType type, MsgDlgButtons buttons) override;
    bool InputQuery(const QString& title, const QString& prompt, QString& value) override;
    PasswordAnswer AskPassword(const QString& line1, const QString& line2) override;
    void LogText(const QString& text) override;
    QString AskScriptFileName(const QString& initial) override;
};

// Whether this process can show windows: false on X11/Wayland systems without DISPLAY and
// WAYLAND_DISPLAY (cron, SSH without forwarding, a server) unless a Qt platform is forced.
bool DisplayAvailable();

// Runs the -s script of Arguments without any window and returns the exit status: 0 when every
// transfer and deletion of the last run succeeded, 1 when one failed, 2 when the script could
// not start. SIGTERM and SIGINT stop the script cleanly; a second one ends the process at once.
int RunUnattended(const QStringList& arguments);
