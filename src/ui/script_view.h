#pragma once

#include <QList>
#include <QObject>

class QAction;
class QLabel;
class QSplitter;
class QWidget;
class ScriptRunner;

// The window side of scripts: Tools > Run Script, and the script view in which the displayed
// log fills the window, the four labels show the schedule and counters, and the file lists and
// their controls are put away.
class ScriptView : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QAction* runScript;
        QWidget* scriptPanel;
        QList<QLabel*> labels;
        // The splitter between the lists (its first part) and the log.
        QSplitter* split;
        // What the script view puts away.
        QList<QWidget*> hidden;
    };
    ScriptView(QObject* parent, const Controls& controls, ScriptRunner& runner);

    // ChangeFormForScript (true) and ChangeFormAfterScript (false).
    void Show(bool on);
    bool Showing() const { return m_showing; }

private:
    Controls m_controls;
    bool m_showing = false;
    QList<QWidget*> m_hidden;  // what entering hid, shown again on leaving
    QList<int> m_splitSizes;
};
