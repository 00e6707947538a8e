#pragma once

#include <gtest/gtest.h>

#include <QMap>
#include <QString>
#include <QStringList>

#include <vector>

#include "app/app_core.h"
#include "app/scripted_user_interface.h"
#include "panes/remote_pane.h"
#include "session/session.h"
#include "support/test_support.h"

// One program without a window, in a work folder of its own, its questions answered by a
// ScriptedUserInterface.
struct HeadlessProgram {
    TestFolder work;
    ScopedEnv home{"VORLENFTP_HOME", work.Path()};
    ScriptedUserInterface ui;
    AppCore core{ui};
    Session& session = *core.session;
    RemotePane& pane = *core.remotePane;

    HeadlessProgram() { core.FormCreate({}); }

    // The current site: Name at 127.0.0.1:Port, the user and the password (stored scrambled),
    // SFTP when Ssh, the shortest time-out, no remembered directories.
    void SetSite(const QString& name, const QString& port, const QString& user,
                 const QString& password, bool ssh = false);
    // The names of the remote list's rows, ".." for the parent row.
    QStringList Names() const;
    int Row(const QString& name) const { return int(Names().indexOf(name)); }
    // Nothing the program showed holds the password.
    void ExpectNoPassword(const QString& password) const;
};

// The rows of Pane's list that show one of Names.
std::vector<int> RowsNamed(const RemotePane& pane, const QStringList& names);

// A fresh folder under Root named Prefix and a random part, holding Files (relative path ->
// content; a path ending in "/" is an empty folder), all owned by Owner. Returns its path.
QString FreshOwnedFolder(const QString& root, const QString& prefix, const QString& owner,
                         const QMap<QString, QByteArray>& files);
