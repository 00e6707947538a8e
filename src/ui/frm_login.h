#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>

#include "app/login_actions.h"
#include "ui/base/color_button.h"

class TfrmMain;

// The login dialog: picks, creates, renames and deletes sites and completes the connection
// details. The rules are LoginActions'; this class moves values between widgets and fields.
class TfrmLogin : public QDialog {
    Q_OBJECT
public:
    explicit TfrmLogin(TfrmMain& main);

    // Places the dialog over the main window and shows it modally.
    void ShowLogin();
    void PlaceLogin();

    LoginActions& Actions() { return m_actions; }
    LoginFields ReadFields() const;
    void ShowFields(const LoginFields& fields);

    void btnOKClick();
    void btnCancelClick();
    void btnNewSiteClick();
    void btnRenameSiteClick();
    void btnDeleteSiteClick();
    void btnHelpClick();
    // The first empty one of user id, password and domain, else OK.
    void FocusFirstEmptyField();

    QComboBox* cboRemoteSite = nullptr;
    QLineEdit* edtUserid = nullptr;
    QLineEdit* edtPassword = nullptr;
    QCheckBox* chkRememberPassword = nullptr;
    QLineEdit* edtDomainNameOrIP = nullptr;
    QComboBox* cboConnectionType = nullptr;
    QComboBox* cboTimeout = nullptr;
    QLabel* lblProxyServer = nullptr;
    QLabel* lblProxyUser = nullptr;
    QLineEdit* edtProxySocksServer = nullptr;
    QLineEdit* edtSocksUser = nullptr;
    QLineEdit* edtSocksPassword = nullptr;
    QCheckBox* chkPassive = nullptr;
    QCheckBox* chkMachineListings = nullptr;
    QComboBox* cboSSH = nullptr;
    QLabel* lblFtpTls = nullptr;
    QComboBox* cboFtpTls = nullptr;
    QLabel* lblKeyFile = nullptr;
    QLineEdit* edtKeyFile = nullptr;
    TColorButton* btnBrowseKey = nullptr;
    TColorButton* btnNewSite = nullptr;
    TColorButton* btnRenameSite = nullptr;
    TColorButton* btnDeleteSite = nullptr;
    TColorButton* btnHelp = nullptr;
    TColorButton* btnCancel = nullptr;
    TColorButton* btnOK = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ApplyConfigFileSettingsToSiteCombo();
    void SetVisibilityAccordingToConnectionType();
    void cboRemoteSiteChange();

    TfrmMain& m_main;
    LoginActions& m_actions;
    bool m_muteSiteChange = false;
};
