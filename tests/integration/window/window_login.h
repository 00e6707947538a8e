#pragma once

#include <functional>

#include "support/server_env.h"
#include "ui/frm_login.h"
#include "widget_test_support.h"

// The window's first activation as a person meets it: the login dialog, filled in by Fill,
// the site's first remote directory set to RemoteDir, then OK.
inline void StartWithLogin(TfrmMain& m, const QString& remoteDir,
                           const std::function<void(TfrmLogin&)>& fill) {
    WhenModal([&m, remoteDir, fill](QWidget*) {
        TfrmLogin* login = m.LoginDialog();
        fill(*login);
        m.Core().settings.site.infRemDirs = {remoteDir};
        login->btnOK->click();
    });
    m.FormActivate();
}

// The FTP bench's vsftpd and its test user.
inline void FillVsftpd(TfrmLogin& login) {
    login.edtUserid->setText(ServerEnv::Get().Value("FTP_USER"));
    login.edtPassword->setText(ServerEnv::Get().Password());
    login.edtDomainNameOrIP->setText("127.0.0.1:" + ServerEnv::Get().Value("VSFTPD_PORT"));
}
