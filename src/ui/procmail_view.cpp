#include "ui/procmail_view.h"

#include "panes/remote_pane.h"
#include "procmail/procmail_update.h"
#include "procmail/widgets/frm_help_procmail.h"
#include "procmail/widgets/frm_procmail_recipe.h"

ProcmailView::ProcmailView(QWidget* window, ProcmailUpdate& update, RemotePane& pane)
    : QObject(window), m_window(window) {
    update.generate = [this](const QString& mdlPath, bool* completed) {
        TfrmProcmailRecipe window(m_window);
        return window.GenerateRecipe(mdlPath, completed);
    };
    pane.procmailHelp = [this] { ShowHelp(); };
}

void ProcmailView::ShowHelp() {
    if (m_help == nullptr) {
        m_help = new TfrmHelpProcmail(m_window);
    }
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}
