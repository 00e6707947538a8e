#pragma once

#include <QObject>

class ProcmailUpdate;
class RemotePane;
class TfrmHelpProcmail;
class QWidget;

// The window side of the recipe update: the generation window while a recipe is generated, and
// the language help that "procmailhelp" in the remote directory box opens.
class ProcmailView : public QObject {
    Q_OBJECT
public:
    // Window: the parent of the windows it opens.
    ProcmailView(QWidget* window, ProcmailUpdate& update, RemotePane& pane);

    void ShowHelp();

private:
    QWidget* m_window;
    TfrmHelpProcmail* m_help = nullptr;
};
