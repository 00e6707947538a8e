#pragma once

#include <QString>

#include <vector>

#include "transfer/sync_plan.h"

class SettingsStore;
struct RunState;
class UserInterface;
class Session;
class RemotePane;
class LocalPane;
class Transfers;
class BatchSender;

// Synchronise: the current local folder against the current remote folder, both read whole
// (links never followed), compared by name, size and time, and one made like the other. The
// window shows the comparison first (Tools > Synchronise); scripts run it at once (SYNC-UP,
// SYNC-DOWN).
class Synchroniser {
public:
    Synchroniser(SettingsStore& store, RunState& run, UserInterface& ui, Session& session,
                 RemotePane& pane, LocalPane& local, Transfers& transfers, BatchSender& batches);

    // What one run did.
    struct Outcome {
        int sent = 0;
        int deleted = 0;
        int madeFolders = 0;
        int failed = 0;
        bool cancelled = false;
        bool Ok() const { return failed == 0 && !cancelled; }
    };

    // Reads both trees and compares them; false (with a message) when the remote tree could not
    // be read or Cancel was pressed.
    bool Compare(std::vector<SyncItem>& items);
    // Carries out Steps in one direction, one log line per file or folder and a summary line.
    Outcome Run(const std::vector<SyncStep>& steps, bool upload);
    // Compare and run without asking (scripts).
    Outcome Synchronise(bool upload, bool deleteExtra);

    // Tools > Synchronise and the Sync button: compare, show, ask, run.
    void SynchroniseClick();

private:
    std::vector<SyncEntry> LocalTree(const QString& top) const;
    bool RemoteTree(const QString& top, std::vector<SyncEntry>& entries);
    // Moves the listed times by the difference between the listing's clock and the exact one,
    // learnt from the file Name in Dir (Entries[Index]) where the server gives exact times.
    void CorrectListedTimes(const QString& dir, const QString& name, size_t index,
                            std::vector<SyncEntry>& entries);
    // Sends several files at once where the session can; returns the steps still to do one by
    // one (all of them where that cannot be).
    std::vector<SyncStep> SendTogether(const std::vector<SyncStep>& sends, bool upload,
                                       const QString& localTop, const QString& remoteTop,
                                       Outcome& outcome);
    bool Step(const SyncStep& step, bool upload, const QString& localTop, const QString& remoteTop,
              Outcome& outcome);

    SettingsStore& m_store;
    RunState& m_run;
    UserInterface& m_ui;
    Session& m_session;
    RemotePane& m_pane;
    LocalPane& m_local;
    Transfers& m_transfers;
    BatchSender& m_batches;
};
