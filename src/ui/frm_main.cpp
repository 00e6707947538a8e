#include "ui/frm_main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QInputDialog>
#include <QMessageBox>
#include <QStatusBar>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/platform.h"

TfrmMain::TfrmMain(const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent), m_core(std::make_unique<AppCore>(*this)) {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    memMsgs = new QPlainTextEdit(central);
    memMsgs->setObjectName("memMsgs");
    memMsgs->setReadOnly(true);
    layout->addWidget(memMsgs);
    progTransfer = new QProgressBar(central);
    progTransfer->setObjectName("progTransfer");
    progTransfer->hide();
    layout->addWidget(progTransfer);
    setCentralWidget(central);
    for (int i = 0; i < kStatusPanelCount; ++i) {
        m_panels[i] = new QLabel(this);
        statusBar()->addWidget(m_panels[i], i == int(StatusPanel::General) ? 1 : 0);
    }
    resize(1024, 700);
    SetCaption("Vorlen FTP");
    m_core->FormCreate(arguments);
    m_created = true;
}

TfrmMain::~TfrmMain() = default;

ModalResult TfrmMain::ColorMsgDlg(const QString& text, MsgDlgType type, MsgDlgButtons buttons) {
    QMessageBox box(this);
    box.setText(text);
    switch (type) {
        case MsgDlgType::Warning: box.setIcon(QMessageBox::Warning); break;
        case MsgDlgType::Error: box.setIcon(QMessageBox::Critical); break;
        case MsgDlgType::Information: box.setIcon(QMessageBox::Information); break;
        case MsgDlgType::Confirmation: box.setIcon(QMessageBox::Question); break;
        case MsgDlgType::Custom: break;
    }
    const std::pair<MsgDlgBtn, QMessageBox::StandardButton> map[] = {
        {MsgDlgBtn::Yes, QMessageBox::Yes},         {MsgDlgBtn::No, QMessageBox::No},
        {MsgDlgBtn::OK, QMessageBox::Ok},           {MsgDlgBtn::Cancel, QMessageBox::Cancel},
        {MsgDlgBtn::YesToAll, QMessageBox::YesToAll}, {MsgDlgBtn::NoToAll, QMessageBox::NoToAll}};
    QMessageBox::StandardButtons qbuttons;
    for (const auto& [ours, theirs] : map) {
        if (buttons.testFlag(ours)) {
            qbuttons |= theirs;
        }
    }
    box.setStandardButtons(qbuttons);
    const int pressed = box.exec();
    const std::pair<QMessageBox::StandardButton, ModalResult> back[] = {
        {QMessageBox::Yes, ModalResult::Yes},           {QMessageBox::No, ModalResult::No},
        {QMessageBox::Ok, ModalResult::OK},             {QMessageBox::Cancel, ModalResult::Cancel},
        {QMessageBox::YesToAll, ModalResult::YesToAll}, {QMessageBox::NoToAll, ModalResult::NoToAll}};
    for (const auto& [theirs, ours] : back) {
        if (pressed == theirs) {
            return ours;
        }
    }
    return ModalResult::None;
}

void TfrmMain::ShowColorMsg(const QString& text) {
    ColorMsgDlg(PadMessage(text), MsgDlgType::Information, MsgDlgBtn::OK);
}

bool TfrmMain::InputQuery(const QString& title, const QString& prompt, QString& value) {
    bool ok = false;
    const QString answer =
        QInputDialog::getText(this, title, prompt, QLineEdit::Normal, value, &ok);
    if (ok) {
        value = answer;
    }
    return ok;
}

void TfrmMain::SetStatusPanel(StatusPanel panel, const QString& text) {
    m_panels[int(panel)]->setText(text);
}

QString TfrmMain::StatusPanelText(StatusPanel panel) const {
    return m_panels[int(panel)]->text();
}

void TfrmMain::LogText(const QString& text) {
    if (text.trimmed().isEmpty()) {
        return;
    }
    memMsgs->appendPlainText(QTime::currentTime().toString(platform::LongTimeFormat()) + " " +
                             text);
}

void TfrmMain::SetConnectionLight(ConnectionLight light) {
    m_light = light;
}

void TfrmMain::SetProgress(int percent) {
    progTransfer->setValue(percent);
    progTransfer->show();
}

void TfrmMain::HideProgress() {
    progTransfer->setValue(0);
    progTransfer->hide();
}

void TfrmMain::ShowAbortButton(const QString&) {}
void TfrmMain::HideAbortButton() {}

void TfrmMain::DisableGridsEtc() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    SetStatusPanel(StatusPanel::General, QString());
    ProcessMessages();
}

void TfrmMain::EnableGridsEtc() {
    QApplication::restoreOverrideCursor();
    if (StatusBarGeneralText().isEmpty()) {
        SetStatusPanel(StatusPanel::General, "Finished");
    }
    HideProgress();
    HideAbortButton();
    ProcessMessages();
}

void TfrmMain::SetCaption(const QString& caption) {
    setWindowTitle(caption);
}

void TfrmMain::ProcessMessages() {
    QCoreApplication::processEvents();
}

void TfrmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_core->firstActivation) {
        QTimer::singleShot(0, this, &TfrmMain::FormActivate);
    }
}

void TfrmMain::FormActivate() {
    AppCore& core = *m_core;
    if (!core.firstActivation) {
        return;
    }
    core.firstActivation = false;
    core.winUserName = platform::UserName();
    core.settings.GetSiteSettings();
    core.SetGlobalProfileName(core.settings.site.siteName);
    SyncWindowMetrics();
    core.UpdateSettings();
    SetConnectionLight(ConnectionLight::Red);
}

void TfrmMain::SyncWindowMetrics() {
    if (!m_created) {
        return;
    }
    WindowMetrics& w = m_core->settings.window;
    w.maximised = isMaximized();
    if (!w.maximised) {
        w.top = y();
        w.left = x();
        w.height = height();
        w.width = width();
    }
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    SyncWindowMetrics();
}

void TfrmMain::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    SyncWindowMetrics();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    m_core->RequestStopScript();
    SyncWindowMetrics();
    m_core->UpdateSettings();
    event->accept();
}
