#pragma once

#include <QObject>

class ProcmailUpdate;
class RemotePane;
class TfrmHelpProcmail;
class TfrmMain;

// The window side of the recipe update: the generation window while a recipe is generated, and
// the language help that "procmailhelp" in the remote directory box opens.
class ProcmailView : public QObject {
    Q_OBJECT
public:
    ProcmailView(TfrmMain& main, ProcmailUpdate& update, RemotePane& pane);

    void ShowHelp();

private:
    TfrmMain& m_main;
    TfrmHelpProcmail* m_help = nullptr;
};
