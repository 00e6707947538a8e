#include "server_env.h"

#include <QFile>

const ServerEnv& ServerEnv::Get() {
    static const ServerEnv env = [] {
        ServerEnv loaded;
        QFile state(qEnvironmentVariable("VORLEN_FTP_SERVERS_STATE"));
        if (!state.open(QIODevice::ReadOnly)) {
            return loaded;
        }
        const QString dir = QString::fromUtf8(state.readAll()).trimmed();
        QFile file(dir + "/servers.env");
        if (!file.open(QIODevice::ReadOnly)) {
            return loaded;
        }
        for (const QByteArray& line : file.readAll().split('\n')) {
            const qsizetype eq = line.indexOf('=');
            if (eq > 0) {
                loaded.m_values.insert(QString::fromUtf8(line.left(eq)),
                                       QString::fromUtf8(line.mid(eq + 1)).trimmed());
            }
        }
        return loaded;
    }();
    return env;
}
