#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

#include "ui/pane_controls.h"

class LocalFilesModel;
class ListFilter;
class LocalPane;
class QAbstractButton;
class QWidget;
struct Settings;
class UserInterface;

// Connects the local pane's controls (list, directory box, buttons, sort groups, heading clicks)
// to the LocalPane subject, and shows what the pane holds.
class LocalPaneView : public QObject {
    Q_OBJECT
public:
    struct Controls : PaneControls {
        QAbstractButton* newDir;
        QAbstractButton* setDefault;
        QAbstractButton* open;
        QAbstractButton* openAsText;
        QAbstractButton* rename;
        QAbstractButton* remove;
        QAbstractButton* browse;
    };
    // Window: the parent of the folder dialog. Created: false while the window is being built
    // (the sort groups are set then, and must not sort).
    LocalPaneView(QWidget* window, const Controls& controls, LocalPane& pane,
                  const Settings& settings, UserInterface& ui, std::function<bool()> created);

    // After the pane re-listed or re-sorted: rows, summary, directory box, sort groups.
    void Refresh();
    // Names of the selected rows, in list order (".." excluded).
    QStringList SelectedNames() const;

private:
    void Wire();
    void MirrorSort();

    QWidget* m_window;
    Controls m_c;
    LocalPane& m_pane;
    const Settings& m_settings;
    UserInterface& m_ui;
    std::function<bool()> m_created;
    LocalFilesModel* m_model;
    ListFilter* m_filter;
    bool m_mirroring = false;
};
