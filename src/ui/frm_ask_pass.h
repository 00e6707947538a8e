#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>

#include "runtime/user_interface.h"
#include "ui/base/color_button.h"

class TfrmMain;

// The password dialog, shown when no password is known for the login.
class TfrmAskPass : public QDialog {
    Q_OBJECT
public:
    TfrmAskPass(TfrmMain& main, const QString& line1, const QString& line2);

    // Shows the dialog modally and returns what was answered.
    PasswordAnswer Ask();

    QLabel* lblInfo1 = nullptr;
    QLabel* lblInfo2 = nullptr;
    QLineEdit* edtPassword = nullptr;
    QCheckBox* chkSavePassword = nullptr;
    TColorButton* btnOk = nullptr;
    TColorButton* btnCancel = nullptr;

private:
    TfrmMain& m_main;
};
