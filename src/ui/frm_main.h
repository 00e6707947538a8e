#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <memory>

#include "app/app_core.h"
#include "app/user_interface.h"

// The main window: owner of the program's state (through AppCore) and the widget implementation
// of UserInterface.
class TfrmMain : public QMainWindow, public UserInterface {
    Q_OBJECT
public:
    explicit TfrmMain(const QStringList& arguments, QWidget* parent = nullptr);
    ~TfrmMain() override;

    AppCore& Core() { return *m_core; }

    // UserInterface
    ModalResult ColorMsgDlg(const QString& text, MsgDlgType type, MsgDlgButtons buttons) override;
    void ShowColorMsg(const QString& text) override;
    bool InputQuery(const QString& title, const QString& prompt, QString& value) override;
    void SetStatusPanel(StatusPanel panel, const QString& text) override;
    QString StatusPanelText(StatusPanel panel) const override;
    void LogText(const QString& text) override;
    void SetConnectionLight(ConnectionLight light) override;
    ConnectionLight CurrentConnectionLight() const override { return m_light; }
    void SetProgress(int percent) override;
    void HideProgress() override;
    void ShowAbortButton(const QString& caption) override;
    void HideAbortButton() override;
    void DisableGridsEtc() override;
    void EnableGridsEtc() override;
    void RefreshLocalList() override {}
    void RefreshRemoteList() override {}
    void SetCaption(const QString& caption) override;
    void ProcessMessages() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void FormActivate();
    void SyncWindowMetrics();

    std::unique_ptr<AppCore> m_core;
    QPlainTextEdit* memMsgs = nullptr;
    QProgressBar* progTransfer = nullptr;
    QLabel* m_panels[kStatusPanelCount] = {};
    ConnectionLight m_light = ConnectionLight::Red;
    bool m_created = false;
};
