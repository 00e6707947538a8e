#pragma once

#include <QList>
#include <QSslCertificate>
#include <QSslError>
#include <QString>

// How a site's FTP connection is protected. The numbers are stored in the site's FtpTls key.
enum class FtpSecurity {
    Plain = 0,     // no TLS, as FTP always was
    Explicit = 1,  // AUTH TLS on the normal port, then PBSZ 0 and PROT P
    Implicit = 2,  // TLS from the first byte, port 990 by default
};

// The stored key's text as a choice; anything unknown is plain FTP, so a damaged or future
// value never turns TLS on by surprise.
FtpSecurity FtpSecurityFromKey(const QString& key);
QString FtpSecurityKey(FtpSecurity security);
// The port a site without one in its domain uses.
QString DefaultFtpPort(FtpSecurity security);

// "SHA256:" and the certificate's SHA-256 digest as colon-separated upper-case hex pairs.
QString CertificateFingerprint(const QSslCertificate& certificate);

// A server certificate that did not verify and is not the one the site trusts.
struct CertificateProblem {
    QString subject;
    QString issuer;
    QString reasons;  // the verification errors, one per line
    QString fingerprint;
    QString expires;
    // True when the site trusted another certificate before: the server's certificate changed.
    bool changed = false;
};

CertificateProblem DescribeCertificateProblem(const QSslCertificate& certificate,
                                              const QList<QSslError>& errors,
                                              const QString& trustedFingerprint);
// The question shown before a certificate is trusted.
QString CertificateQuestion(const CertificateProblem& problem, const QString& host);
// The one log line of a certificate refused without asking.
QString CertificateRefusedLine(const CertificateProblem& problem);
