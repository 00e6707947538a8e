#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

#include "ui/pane_controls.h"

class QAbstractButton;
class RemoteFilesModel;
class ListFilter;
class RemotePane;
class Session;
struct Settings;
class UserInterface;

// Connects the remote pane's controls (list, directory box, Refresh, Home, Favourite, sort
// groups, heading clicks) to the RemotePane subject, and shows what it holds.
class RemotePaneView : public QObject {
    Q_OBJECT
public:
    struct Controls : PaneControls {
        QAbstractButton* home;
        QAbstractButton* favourite;
        QAbstractButton* makeDir;
    };
    // Created: false while the window is being built (the sort groups are set then, and must
    // not sort).
    RemotePaneView(QObject* parent, const Controls& controls, RemotePane& pane,
                   const Session& session, const Settings& settings, UserInterface& ui,
                   std::function<bool()> created);

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

    Controls m_c;
    RemotePane& m_pane;
    const Session& m_session;
    const Settings& m_settings;
    UserInterface& m_ui;
    std::function<bool()> m_created;
    RemoteFilesModel* m_model;
    ListFilter* m_filter;
    bool m_mirroring = false;
    bool m_typing = false;  // keys typed into the directory box since the last Enter
};
