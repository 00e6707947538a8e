#pragma once

#include <QString>

#include "runtime/cancel_token.h"

// What the subjects share about the run in progress. AppCore owns one and hands it to each
// subject that reads or sets these; nothing else holds them.
struct RunState {
    // A script named on the command line runs without a person to answer questions.
    bool unattended = false;
    // The login dialog is open, or was closed without a choice (the window then closes).
    bool loginPending = false;
    bool loginCancelled = false;
    bool scriptRunning = false;
    // Set while a batch transfer runs; a lost connection clears it.
    bool batchTransferRunning = false;
    // Set while the status bar counts the logs being retrieved: the abort button then cancels
    // the retrieval, and sets logRetrievalCancel.
    bool logRetrievalShown = false;
    bool logRetrievalCancel = false;
    // The Cancel button.
    CancelToken cancel;
    // The script named on the command line; cleared once its first run has started.
    QString startupScript;
    QString winUserName;
};
