#include "support/headless_program.h"

#include <QDir>
#include <QProcess>
#include <QUuid>

#include "config/scrambling.h"

void HeadlessProgram::SetSite(const QString& name, const QString& port, const QString& user,
                              const QString& password, bool ssh) {
    SiteProfile& site = core.settings.site;
    site.siteName = name;
    site.domain = "127.0.0.1:" + port;
    site.userid = user;
    site.sessionPassword = QString::fromLatin1(scrambling::ComplexEncrypt(password.toUtf8()));
    site.ssh = ssh;
    site.timeoutIndex = 0;
    site.infRemDirs.clear();
}

QStringList HeadlessProgram::Names() const {
    QStringList names;
    for (int i = 0; i < pane.RowCount(); ++i) {
        const RemoteRow row = pane.Row(i);
        names.append(row.entry ? row.entry->name : QStringLiteral(".."));
    }
    return names;
}

void HeadlessProgram::ExpectNoPassword(const QString& password) const {
    for (const QString& line : ui.logLines + ui.MessageTexts() + ui.statusHistory) {
        EXPECT_FALSE(line.contains(password)) << line.toStdString();
    }
}

std::vector<int> RowsNamed(const RemotePane& pane, const QStringList& names) {
    std::vector<int> rows;
    for (int i = 0; i < pane.RowCount(); ++i) {
        const RemoteRow row = pane.Row(i);
        if (row.entry && names.contains(row.entry->name)) {
            rows.push_back(i);
        }
    }
    return rows;
}

QString FreshOwnedFolder(const QString& root, const QString& prefix, const QString& owner,
                         const QMap<QString, QByteArray>& files) {
    const QString dir = root + "/" + prefix + QUuid::createUuid().toString(QUuid::Id128).left(10);
    QDir().mkpath(dir);
    for (auto it = files.begin(); it != files.end(); ++it) {
        if (it.key().endsWith('/')) {
            QDir().mkpath(dir + "/" + it.key());
        } else {
            WriteFile(dir + "/" + it.key(), it.value());
        }
    }
    QProcess::execute("chown", {"-R", owner, dir});
    return dir;
}
