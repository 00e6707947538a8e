#pragma once

#include <QList>
#include <QObject>

class ScriptRunner;
class TfrmMain;
class QWidget;

// The window side of scripts: Tools > Run Script, and the script view in which the displayed
// log fills the window, the four labels show the schedule and counters, and the file lists and
// their controls are put away.
class ScriptView : public QObject {
    Q_OBJECT
public:
    ScriptView(TfrmMain& main, ScriptRunner& runner);

    // ChangeFormForScript (true) and ChangeFormAfterScript (false).
    void Show(bool on);
    bool Showing() const { return m_showing; }

private:
    QList<QWidget*> HiddenInScriptView() const;

    TfrmMain& m_main;
    bool m_showing = false;
    QList<QWidget*> m_hidden;  // what entering hid, shown again on leaving
    QList<int> m_splitSizes;
};
