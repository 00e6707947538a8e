#include "ui/session_view.h"

#include <QAbstractButton>
#include <QAction>

#include "session/session.h"

SessionView::SessionView(QObject* parent, const Controls& c, Session& session) : QObject(parent) {
    connect(c.connect, &QAbstractButton::clicked, this,
            [&session] { session.ConnectButtonClickActions(); });
    connect(c.connectMenu, &QAction::triggered, this, [&session] { session.Connect1Click(); });
    connect(c.disconnectMenu, &QAction::triggered, this,
            [&session] { session.Disconnect1Click(); });
    connect(c.connectPopup, &QAction::triggered, this, [&session] { session.Connect2Click(); });
    connect(c.disconnectPopup, &QAction::triggered, this,
            [&session] { session.Disconnect2Click(); });
    connect(c.cancel, &QAbstractButton::clicked, this, [&session] { session.AbortClick(); });
}
