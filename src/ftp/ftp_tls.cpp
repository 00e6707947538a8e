#include "ftp/ftp_tls.h"

#include <QCryptographicHash>
#include <QStringList>

FtpSecurity FtpSecurityFromKey(const QString& key) {
    const QString k = key.trimmed();
    if (k == "1") {
        return FtpSecurity::Explicit;
    }
    if (k == "2") {
        return FtpSecurity::Implicit;
    }
    return FtpSecurity::Plain;
}

QString FtpSecurityKey(FtpSecurity security) {
    return QString::number(static_cast<int>(security));
}

QString DefaultFtpPort(FtpSecurity security) {
    return security == FtpSecurity::Implicit ? QStringLiteral("990") : QStringLiteral("21");
}

QString CertificateFingerprint(const QSslCertificate& certificate) {
    if (certificate.isNull()) {
        return QString();
    }
    const QByteArray hex = certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper();
    return "SHA256:" + QString::fromLatin1(hex);
}

namespace {
QString Names(const QSslCertificate& certificate, bool issuer) {
    QStringList parts;
    const auto add = [&](QSslCertificate::SubjectInfo info, const char* label) {
        const QStringList values =
            issuer ? certificate.issuerInfo(info) : certificate.subjectInfo(info);
        for (const QString& value : values) {
            parts << QString::fromLatin1(label) + "=" + value;
        }
    };
    add(QSslCertificate::CommonName, "CN");
    add(QSslCertificate::Organization, "O");
    add(QSslCertificate::OrganizationalUnitName, "OU");
    add(QSslCertificate::CountryName, "C");
    return parts.isEmpty() ? QStringLiteral("(none)") : parts.join(", ");
}
}  // namespace

CertificateProblem DescribeCertificateProblem(const QSslCertificate& certificate,
                                              const QList<QSslError>& errors,
                                              const QString& trustedFingerprint) {
    CertificateProblem p;
    p.subject = Names(certificate, false);
    p.issuer = Names(certificate, true);
    p.fingerprint = CertificateFingerprint(certificate);
    p.expires = certificate.expiryDate().toUTC().toString("yyyy-MM-dd hh:mm 'UTC'");
    QStringList reasons;
    for (const QSslError& error : errors) {
        if (!reasons.contains(error.errorString())) {
            reasons << error.errorString();
        }
    }
    if (reasons.isEmpty()) {
        reasons << QStringLiteral("The certificate could not be verified");
    }
    p.reasons = reasons.join('\n');
    p.changed = !trustedFingerprint.isEmpty() && trustedFingerprint != p.fingerprint;
    return p;
}

QString CertificateQuestion(const CertificateProblem& p, const QString& host) {
    QString text = p.changed
                       ? "The TLS certificate of " + host +
                             " has CHANGED since you last trusted it. This is expected when the "
                             "server got a new certificate; it can also mean that someone is "
                             "listening in between.\n\n"
                       : "The TLS certificate of " + host + " could not be verified.\n\n";
    text += "Reason: " + p.reasons + "\n\nSubject: " + p.subject + "\nIssuer: " + p.issuer +
            "\nExpires: " + p.expires + "\nSHA-256 fingerprint:\n" + p.fingerprint +
            "\n\nTrust this certificate for this site and connect?";
    return text;
}

QString CertificateRefusedLine(const CertificateProblem& p) {
    QString reasons = p.reasons;
    reasons.replace('\n', "; ");
    return QString(p.changed ? "TLS certificate changed and not accepted without a person ("
                             : "TLS certificate not verified and not accepted without a person (") +
           reasons + "), fingerprint " + p.fingerprint + ": login refused";
}
