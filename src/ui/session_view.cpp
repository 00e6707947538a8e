#include "ui/session_view.h"

#include "session/session.h"
#include "ui/frm_main.h"

SessionView::SessionView(TfrmMain& main, Session& session) : QObject(&main) {
    connect(main.btnConnect, &QPushButton::clicked, this,
            [&session] { session.ConnectButtonClickActions(); });
    connect(main.mnuConnect, &QAction::triggered, this, [&session] { session.Connect1Click(); });
    connect(main.mnuDisconnect, &QAction::triggered, this,
            [&session] { session.Disconnect1Click(); });
    connect(main.mnuConnect2, &QAction::triggered, this, [&session] { session.Connect2Click(); });
    connect(main.mnuDisconnect2, &QAction::triggered, this,
            [&session] { session.Disconnect2Click(); });
    connect(main.btnAbortTransfer, &QPushButton::clicked, this,
            [&session] { session.AbortClick(); });
}
