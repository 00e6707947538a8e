#include "ui/script_view.h"

#include <QSplitter>

#include "script/script_runner.h"
#include "ui/frm_main.h"

ScriptView::ScriptView(TfrmMain& main, ScriptRunner& runner) : QObject(&main), m_main(main) {
    connect(main.mnuRunScript, &QAction::triggered, this, [&runner] { runner.Runscript2Click(); });
}

QList<QWidget*> ScriptView::HiddenInScriptView() const {
    TfrmMain& m = m_main;
    return {m.pnlLocal, m.pnlRemote,     m.btnUpload,          m.btnDownload, m.btnConnect,
            m.btnClose, m.chkbxLCUpload, m.chkbxResumeIntXfer, m.rgrpLink,    m.rgrpTransferMode};
}

void ScriptView::Show(bool on) {
    if (on == m_showing) {
        return;
    }
    m_showing = on;
    TfrmMain& m = m_main;
    if (on) {
        for (QLabel* label : {m.lblScript1, m.lblScript2, m.lblScript3, m.lblScript4}) {
            label->clear();
        }
        m.pnlScript->show();
        m_hidden.clear();
        for (QWidget* w : HiddenInScriptView()) {
            if (w->isVisible() || !w->isHidden()) {
                m_hidden.append(w);
                w->hide();
            }
        }
        // The log takes the room the lists leave.
        m_splitSizes = m.splMain->sizes();
        const int total = m_splitSizes.value(0) + m_splitSizes.value(1);
        const int top = m.splMain->widget(0)->minimumSizeHint().height();
        m.splMain->setSizes({top, std::max(total - top, 100)});
    } else {
        m.pnlScript->hide();
        for (QWidget* w : m_hidden) {
            w->show();
        }
        m_hidden.clear();
        if (!m_splitSizes.isEmpty()) {
            m.splMain->setSizes(m_splitSizes);
        }
    }
}
