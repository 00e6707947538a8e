#include <gtest/gtest.h>

#include "ftp/ftp_tls.h"

TEST(FtpTlsKeys, StoredChoicesAndDefaultPorts) {
    struct Case {
        const char* stored;
        FtpSecurity expected;
    };
    const Case cases[] = {{"0", FtpSecurity::Plain},      {"1", FtpSecurity::Explicit},
                          {" 2 ", FtpSecurity::Implicit}, {"3", FtpSecurity::Plain},
                          {"", FtpSecurity::Plain},       {"yes", FtpSecurity::Plain}};
    for (const Case& c : cases) {
        EXPECT_EQ(FtpSecurityFromKey(c.stored), c.expected) << c.stored;
    }
    for (FtpSecurity s : {FtpSecurity::Plain, FtpSecurity::Explicit, FtpSecurity::Implicit}) {
        EXPECT_EQ(FtpSecurityFromKey(FtpSecurityKey(s)), s);
    }
    EXPECT_EQ(DefaultFtpPort(FtpSecurity::Plain), "21");
    EXPECT_EQ(DefaultFtpPort(FtpSecurity::Explicit), "21");
    EXPECT_EQ(DefaultFtpPort(FtpSecurity::Implicit), "990");
    EXPECT_TRUE(CertificateFingerprint(QSslCertificate()).isEmpty());
}

TEST(FtpTlsTexts, TheQuestionAndTheRefusalNameWhatToJudge) {
    CertificateProblem p;
    p.subject = "CN=ftp.example.org";
    p.issuer = "CN=ftp.example.org";
    p.reasons = "The certificate is self-signed, and untrusted\nThe certificate has expired";
    p.fingerprint = "SHA256:AB:CD";
    p.expires = "2026-01-01 00:00 UTC";
    const QString first = CertificateQuestion(p, "ftp.example.org");
    EXPECT_TRUE(first.startsWith("The TLS certificate of ftp.example.org could not be verified."));
    for (const QString& part : {p.subject, p.fingerprint, p.expires, QString("has expired")}) {
        EXPECT_TRUE(first.contains(part)) << part.toStdString();
    }
    EXPECT_TRUE(first.endsWith("Trust this certificate for this site and connect?"));
    EXPECT_EQ(CertificateRefusedLine(p),
              "TLS certificate not verified and not accepted without a person (The certificate "
              "is self-signed, and untrusted; The certificate has expired), fingerprint "
              "SHA256:AB:CD: login refused");

    p.changed = true;
    EXPECT_TRUE(CertificateQuestion(p, "ftp.example.org").contains("has CHANGED"));
    EXPECT_TRUE(CertificateRefusedLine(p).startsWith("TLS certificate changed and not accepted"));
}
