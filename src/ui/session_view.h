#pragma once

#include <QObject>

class QAbstractButton;
class QAction;
class Session;

// Connects the connect button, the File menu's Connect and Disconnect and the Cancel button to
// the session.
class SessionView : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QAbstractButton* connect;
        QAction* connectMenu;
        QAction* disconnectMenu;
        QAction* connectPopup;
        QAction* disconnectPopup;
        QAbstractButton* cancel;
    };
    SessionView(QObject* parent, const Controls& controls, Session& session);
};
