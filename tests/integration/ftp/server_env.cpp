#include "server_env.h"

#include <QFileInfo>
#include <QSslCertificate>

#include "ftp/ftp_tls.h"
#include "support/test_support.h"

const ServerEnv& ServerEnv::Get() {
    static const ServerEnv env = [] {
        ServerEnv loaded;
        loaded.m_values = LoadServerEnv("VORLEN_FTP_SERVERS_STATE");
        return loaded;
    }();
    return env;
}

QString ServerEnv::CertificateFingerprint(const QString& server) const {
    const QString dir = QFileInfo(Value("FTP_ROOT")).absolutePath();
    const QList<QSslCertificate> certs = QSslCertificate::fromPath(dir + "/" + server + ".pem");
    return certs.isEmpty() ? QString() : ::CertificateFingerprint(certs.first());
}
