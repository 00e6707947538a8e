#pragma once

#include <QString>
#include <QStringList>

class AppCore;
class LocalPane;
class Session;
class UserInterface;

// Tools > Log File Processing: the month of the log selected in the local pane, from this
// folder and its Alt subfolder, into one CSV file beside them.
class LogProcessing {
public:
    explicit LogProcessing(AppCore& core);

    void ProcLogs();
    // The configured URL filters, as this run starts from them.
    QStringList InitThisRunLogFilterArray() const;

private:
    void End();

    AppCore& m_core;
    UserInterface& m_ui;
    Session& m_session;
    LocalPane& m_local;
};
