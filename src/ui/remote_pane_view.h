#pragma once

#include <QObject>
#include <QStringList>

class RemoteFilesModel;
class RemotePane;
class TfrmMain;

// Connects the remote pane's controls (list, directory box, Refresh, Home, Favourite, sort
// groups, heading clicks) to the RemotePane subject, and shows what it holds.
class RemotePaneView : public QObject {
    Q_OBJECT
public:
    RemotePaneView(TfrmMain& main, RemotePane& pane);

    // After a listing or a re-sort: rows, summary, directory box, sort groups.
    void Refresh();
    // The directory box: remembered directories and the current directory.
    void RefreshDirBox();
    // Column captions and the make-directory button for the listing type.
    void ShowListingLook(const QString& column1, const QString& column2, bool mkDirVisible);
    // Names of the selected rows, in list order (".." excluded).
    QStringList SelectedNames() const;
    RemoteFilesModel* Model() const { return m_model; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Wire();
    void MirrorSort();

    TfrmMain& m_main;
    RemotePane& m_pane;
    RemoteFilesModel* m_model;
    bool m_mirroring = false;
    bool m_typing = false;  // keys typed into the directory box since the last Enter
};
