#include "ui/script_view.h"

#include <QAction>
#include <QLabel>
#include <QSplitter>

#include "script/script_runner.h"

ScriptView::ScriptView(QObject* parent, const Controls& controls, ScriptRunner& runner)
    : QObject(parent), m_controls(controls) {
    connect(controls.runScript, &QAction::triggered, this, [&runner] { runner.Runscript2Click(); });
}

void ScriptView::Show(bool on) {
    if (on == m_showing) {
        return;
    }
    m_showing = on;
    const Controls& c = m_controls;
    if (on) {
        for (QLabel* label : c.labels) {
            label->clear();
        }
        c.scriptPanel->show();
        m_hidden.clear();
        for (QWidget* w : c.hidden) {
            if (w->isVisible() || !w->isHidden()) {
                m_hidden.append(w);
                w->hide();
            }
        }
        // The log takes the room the lists leave.
        m_splitSizes = c.split->sizes();
        const int total = m_splitSizes.value(0) + m_splitSizes.value(1);
        const int top = c.split->widget(0)->minimumSizeHint().height();
        c.split->setSizes({top, std::max(total - top, 100)});
    } else {
        c.scriptPanel->hide();
        for (QWidget* w : m_hidden) {
            w->show();
        }
        m_hidden.clear();
        if (!m_splitSizes.isEmpty()) {
            c.split->setSizes(m_splitSizes);
        }
    }
}
