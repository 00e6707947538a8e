#include "support/server_env.h"

#include <QFileInfo>
#include <QSslCertificate>

#include "ftp/ftp_tls.h"
#include "support/test_support.h"

ServerEnv::ServerEnv(const char* stateVariable, QString passwordKey)
    : m_values(LoadServerEnv(stateVariable)), m_passwordKey(std::move(passwordKey)) {}

const ServerEnv& ServerEnv::Get() {
    static const ServerEnv env("VORLEN_FTP_SERVERS_STATE", "FTP_PASSWORD");
    return env;
}

const ServerEnv& ServerEnv::Sshd() {
    static const ServerEnv env("VORLEN_SSHD_STATE", "SSH_PASSWORD");
    return env;
}

QString ServerEnv::CertificateFingerprint(const QString& server) const {
    const QString dir = QFileInfo(Value("FTP_ROOT")).absolutePath();
    const QList<QSslCertificate> certs = QSslCertificate::fromPath(dir + "/" + server + ".pem");
    return certs.isEmpty() ? QString() : ::CertificateFingerprint(certs.first());
}
