#pragma once

#include <QObject>

class Session;
class TfrmMain;

// Connects the connect button, the File menu's Connect and Disconnect and the Cancel button to
// the session.
class SessionView : public QObject {
    Q_OBJECT
public:
    SessionView(TfrmMain& main, Session& session);
};
