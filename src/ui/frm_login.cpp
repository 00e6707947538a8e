#include "ui/frm_login.h"

#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QStyle>
#include <QVBoxLayout>

#include "ui/frm_main.h"
#include "ui/model/placement.h"

TfrmLogin::TfrmLogin(TfrmMain& main) : QDialog(&main), m_main(main), m_actions(*main.Core().login) {
    setObjectName("frmLogin");
    setWindowTitle("Login");
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    int row = 0;
    auto label = [&](const QString& text) {
        auto* l = new QLabel(text, this);
        grid->addWidget(l, row, 0, Qt::AlignRight);
        return l;
    };

    label("Remote site:");
    cboRemoteSite = new QComboBox(this);
    cboRemoteSite->setMinimumWidth(220);
    grid->addWidget(cboRemoteSite, row, 1);
    btnNewSite = new TColorButton("New Site", this);
    btnRenameSite = new TColorButton("Rename Site", this);
    btnDeleteSite = new TColorButton("Delete Site", this);
    auto* siteButtons = new QHBoxLayout;
    siteButtons->addWidget(btnNewSite);
    siteButtons->addWidget(btnRenameSite);
    siteButtons->addWidget(btnDeleteSite);
    grid->addLayout(siteButtons, row++, 2);

    label("Userid:");
    edtUserid = new QLineEdit(this);
    grid->addWidget(edtUserid, row++, 1);

    label("Password:");
    edtPassword = new QLineEdit(this);
    edtPassword->setEchoMode(QLineEdit::Password);
    grid->addWidget(edtPassword, row, 1);
    chkRememberPassword = new QCheckBox("Save password", this);
    grid->addWidget(chkRememberPassword, row++, 2);

    label("Domain:");
    edtDomainNameOrIP = new QLineEdit(this);
    edtDomainNameOrIP->setPlaceholderText("host name or address[:port]");
    edtDomainNameOrIP->setToolTip(
        "The server's host name or IP address, optionally followed by a colon and the port,\n"
        "for example ftp.example.com or ftp.example.com:2121");
    grid->addWidget(edtDomainNameOrIP, row++, 1);

    label("Conection type:");
    cboConnectionType = new QComboBox(this);
    cboConnectionType->addItems(LoginActions::ConnectionTypes());
    grid->addWidget(cboConnectionType, row++, 1);

    lblProxyServer = label("Proxy server:");
    edtProxySocksServer = new QLineEdit(this);
    grid->addWidget(edtProxySocksServer, row++, 1);
    lblProxyUser = label("Proxy user:");
    edtSocksUser = new QLineEdit(this);
    grid->addWidget(edtSocksUser, row, 1);
    edtSocksPassword = new QLineEdit(this);
    edtSocksPassword->setEchoMode(QLineEdit::Password);
    edtSocksPassword->setPlaceholderText("password");
    grid->addWidget(edtSocksPassword, row++, 2);

    label("Timeout:");
    cboTimeout = new QComboBox(this);
    cboTimeout->addItems(LoginActions::Timeouts());
    grid->addWidget(cboTimeout, row++, 1);

    cboSSH = new QComboBox(this);
    cboSSH->addItems(LoginActions::SshChoices());
    grid->addWidget(cboSSH, row, 1);
    chkPassive = new QCheckBox("Passive mode", this);
    grid->addWidget(chkPassive, row++, 2);
    lblFtpTls = label("Security:");
    cboFtpTls = new QComboBox(this);
    cboFtpTls->addItems(LoginActions::FtpTlsChoices());
    cboFtpTls->setToolTip(
        "Plain FTP sends the password unencrypted. FTP over TLS encrypts the login and every "
        "transfer: explicit on the normal port, implicit on its own port (990).");
    grid->addWidget(cboFtpTls, row, 1);
    chkMachineListings = new QCheckBox("Use machine listings when the server offers them", this);
    chkMachineListings->setToolTip(
        "Lists folders with MLSD, which gives exact sizes, types and times, where the server "
        "announces it; otherwise the server's text listing is read.");
    grid->addWidget(chkMachineListings, row++, 2);
    lblKeyFile = label("Key file:");
    edtKeyFile = new QLineEdit(this);
    edtKeyFile->setPlaceholderText("your ssh's own keys and agent");
    edtKeyFile->setToolTip(
        "The private key this site logs in with. Empty: the keys, agent and ~/.ssh/config\n"
        "your ssh uses in a terminal, then the password.");
    grid->addWidget(edtKeyFile, row, 1);
    btnBrowseKey = new TColorButton("Browse...", this);
    grid->addWidget(btnBrowseKey, row++, 2, Qt::AlignLeft);
    grid->setColumnStretch(1, 1);

    btnHelp = new TColorButton("Help", this);
    btnCancel = new TColorButton("Cancel", this);
    btnOK = new TColorButton("OK", this);
    btnOK->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnHelp);
    buttons->addStretch(1);
    buttons->addWidget(btnCancel);
    buttons->addWidget(btnOK);

    auto* outer = new QVBoxLayout(this);
    outer->addLayout(grid);
    outer->addSpacing(6);
    outer->addLayout(buttons);
    outer->setSizeConstraint(QLayout::SetMinimumSize);

    connect(btnOK, &QPushButton::clicked, this, &TfrmLogin::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmLogin::btnCancelClick);
    connect(btnNewSite, &QPushButton::clicked, this, &TfrmLogin::btnNewSiteClick);
    connect(btnRenameSite, &QPushButton::clicked, this, &TfrmLogin::btnRenameSiteClick);
    connect(btnDeleteSite, &QPushButton::clicked, this, &TfrmLogin::btnDeleteSiteClick);
    connect(btnHelp, &QPushButton::clicked, this, &TfrmLogin::btnHelpClick);
    connect(btnBrowseKey, &QPushButton::clicked, this, [this] {
        const QString start = edtKeyFile->text().trimmed().isEmpty() ? QDir::homePath() + "/.ssh"
                                                                     : edtKeyFile->text().trimmed();
        const QString file = QFileDialog::getOpenFileName(this, "Key file", start);
        if (!file.isEmpty()) {
            edtKeyFile->setText(QDir::toNativeSeparators(file));
        }
    });
    connect(cboRemoteSite, &QComboBox::currentIndexChanged, this, &TfrmLogin::cboRemoteSiteChange);
    connect(cboConnectionType, &QComboBox::currentIndexChanged, this,
            &TfrmLogin::SetVisibilityAccordingToConnectionType);
    connect(cboSSH, &QComboBox::currentIndexChanged, this,
            &TfrmLogin::SetVisibilityAccordingToConnectionType);

    // Keyboard order follows the fields top to bottom; the buttons come after them, the site
    // buttons last, so Tab from the site list reaches the user id at once.
    QWidget* order[] = {cboRemoteSite,
                        edtUserid,
                        edtPassword,
                        chkRememberPassword,
                        edtDomainNameOrIP,
                        cboConnectionType,
                        edtProxySocksServer,
                        edtSocksUser,
                        edtSocksPassword,
                        cboTimeout,
                        cboSSH,
                        chkPassive,
                        cboFtpTls,
                        chkMachineListings,
                        edtKeyFile,
                        btnBrowseKey,
                        btnOK,
                        btnCancel,
                        btnHelp,
                        btnNewSite,
                        btnRenameSite,
                        btnDeleteSite};
    for (size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }

    // FormCreate: creates "Default" on a first start and loads the current site.
    const LoginFields fields = m_actions.FormCreate();
    ApplyConfigFileSettingsToSiteCombo();
    ShowFields(fields);
}

void TfrmLogin::ShowLogin() {
    PlaceLogin();
    exec();
}

void TfrmLogin::PlaceLogin() {
    adjustSize();
    const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    const int caption = style()->pixelMetric(QStyle::PM_TitleBarHeight);
    const QSize size = frameGeometry().size().expandedTo(sizeHint());
    move(LoginDialogTopLeft(m_main.frameGeometry(), size, frame, caption));
}

void TfrmLogin::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_main.isVisible()) {
        m_main.show();
    }
    m_main.ApplyColoursTo(this);
    FocusFirstEmptyField();
}

void TfrmLogin::FocusFirstEmptyField() {
    for (QLineEdit* field : {edtUserid, edtPassword, edtDomainNameOrIP}) {
        if (field->text().trimmed().isEmpty()) {
            field->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
    btnOK->setFocus(Qt::OtherFocusReason);
}

LoginFields TfrmLogin::ReadFields() const {
    LoginFields f;
    f.userid = edtUserid->text();
    f.password = edtPassword->text();
    f.domain = edtDomainNameOrIP->text();
    f.proxyServer = edtProxySocksServer->text();
    f.proxyUser = edtSocksUser->text();
    f.proxyPassword = edtSocksPassword->text();
    f.rememberPassword = chkRememberPassword->isChecked();
    f.connectionKind = std::max(0, cboConnectionType->currentIndex());
    f.timeoutIndex = std::max(0, cboTimeout->currentIndex());
    f.passive = chkPassive->isChecked();
    f.machineListings = chkMachineListings->isChecked();
    f.sshIndex = cboSSH->currentIndex();
    f.ftpTls = std::max(0, cboFtpTls->currentIndex());
    f.keyFile = edtKeyFile->text().trimmed();
    return f;
}

void TfrmLogin::ShowFields(const LoginFields& f) {
    const QSignalBlocker blockType(cboConnectionType);
    const QSignalBlocker blockSsh(cboSSH);
    edtUserid->setText(f.userid);
    edtPassword->setText(f.password);
    edtDomainNameOrIP->setText(f.domain);
    edtProxySocksServer->setText(f.proxyServer);
    edtSocksUser->setText(f.proxyUser);
    edtSocksPassword->setText(f.proxyPassword);
    chkRememberPassword->setChecked(f.rememberPassword);
    cboConnectionType->setCurrentIndex(f.connectionKind);
    cboTimeout->setCurrentIndex(f.timeoutIndex);
    chkPassive->setChecked(f.passive);
    chkMachineListings->setChecked(f.machineListings);
    cboSSH->setCurrentIndex(f.sshIndex);
    cboFtpTls->setCurrentIndex(f.ftpTls);
    edtKeyFile->setText(f.keyFile);
    SetVisibilityAccordingToConnectionType();
}

void TfrmLogin::ApplyConfigFileSettingsToSiteCombo() {
    m_muteSiteChange = true;
    const SiteCombo combo = m_actions.ApplyConfigFileSettingsToSiteCombo();
    cboRemoteSite->clear();
    cboRemoteSite->addItems(combo.names);
    cboRemoteSite->setCurrentIndex(combo.selected);
    m_muteSiteChange = false;
}

void TfrmLogin::SetVisibilityAccordingToConnectionType() {
    const LoginVisibility v = LoginActions::VisibilityFor(
        std::max(0, cboConnectionType->currentIndex()), cboSSH->currentIndex());
    chkRememberPassword->setText(v.rememberCaption);
    for (QWidget* w :
         {static_cast<QWidget*>(lblProxyServer), static_cast<QWidget*>(lblProxyUser),
          static_cast<QWidget*>(edtProxySocksServer), static_cast<QWidget*>(edtSocksUser),
          static_cast<QWidget*>(edtSocksPassword)}) {
        w->setVisible(v.proxyFieldsVisible);
    }
    if (v.proxyFieldsVisible) {
        lblProxyServer->setText(v.proxyServerLabel);
        lblProxyUser->setText(v.proxyUserLabel);
    }
    chkPassive->setVisible(v.passiveVisible);
    lblFtpTls->setVisible(v.ftpTlsVisible);
    cboFtpTls->setVisible(v.ftpTlsVisible);
    chkMachineListings->setVisible(v.ftpTlsVisible);
    for (QWidget* w : {static_cast<QWidget*>(lblKeyFile), static_cast<QWidget*>(edtKeyFile),
                       static_cast<QWidget*>(btnBrowseKey)}) {
        w->setVisible(v.keyFileVisible);
    }
    // Hidden proxy rows give their height back instead of leaving a blank band.
    if (layout() != nullptr) {
        layout()->activate();
        resize(width(), sizeHint().height());
    }
}

void TfrmLogin::cboRemoteSiteChange() {
    if (m_muteSiteChange || cboRemoteSite->currentIndex() < 0) {
        return;
    }
    ShowFields(m_actions.SelectSite(cboRemoteSite->currentText()));
    m_main.ApplyColoursTo(this);
}

void TfrmLogin::btnOKClick() {
    if (m_actions.OkClick(ReadFields())) {
        accept();
    }
}

void TfrmLogin::btnCancelClick() {
    m_actions.CancelClick(ReadFields());
    reject();
}

void TfrmLogin::btnNewSiteClick() {
    LoginFields fields;
    if (m_actions.NewSiteClick(fields)) {
        ApplyConfigFileSettingsToSiteCombo();
        ShowFields(fields);
        m_main.ApplyColoursTo(this);
    }
}

void TfrmLogin::btnRenameSiteClick() {
    if (m_actions.RenameSiteClick()) {
        ApplyConfigFileSettingsToSiteCombo();
    }
}

void TfrmLogin::btnDeleteSiteClick() {
    LoginFields fields;
    if (m_actions.DeleteSiteClick(fields)) {
        ApplyConfigFileSettingsToSiteCombo();
        ShowFields(fields);
        m_main.ApplyColoursTo(this);
    }
}

void TfrmLogin::btnHelpClick() {
    m_main.ShowHelpTopic("Login");
}
