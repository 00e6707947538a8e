#pragma once

#include <QString>
#include <QStringList>

class SettingsStore;
struct RunState;
class LocalPane;
class Session;
class UserInterface;

// Tools > Log File Processing: the month of the log selected in the local pane, from this
// folder and its Alt subfolder, into one CSV file beside them.
class LogProcessing {
public:
    LogProcessing(SettingsStore& store, RunState& run, UserInterface& ui, Session& session,
                  LocalPane& local);

    void ProcLogs();
    // The configured URL filters, as this run starts from them.
    QStringList InitThisRunLogFilterArray() const;

private:
    void End();

    SettingsStore& m_store;
    RunState& m_run;
    UserInterface& m_ui;
    Session& m_session;
    LocalPane& m_local;
};
