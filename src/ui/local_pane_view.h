#pragma once

#include <QObject>
#include <QStringList>

class LocalFilesModel;
class LocalPane;
class TfrmMain;

// Connects the local pane's controls (list, directory box, buttons, sort groups, heading clicks)
// to the LocalPane subject, and shows what the pane holds.
class LocalPaneView : public QObject {
    Q_OBJECT
public:
    LocalPaneView(TfrmMain& main, LocalPane& pane);

    // After the pane re-listed or re-sorted: rows, summary, directory box, sort groups.
    void Refresh();
    // Names of the selected rows, in list order (".." excluded).
    QStringList SelectedNames() const;

private:
    void Wire();
    void MirrorSort();

    TfrmMain& m_main;
    LocalPane& m_pane;
    LocalFilesModel* m_model;
    bool m_mirroring = false;
};
