#pragma once

#include <QDialog>

#include "listing/zos_names.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class UserInterface;

// "File Allocation Attributes": collects the allocation attributes of a dataset that does not yet
// exist on the z/OS server. Created once; the values typed stay for the next upload. Whichever way
// it closes, it writes the attributes into the owner's AllocationAttributes.
class TfrmAllocZOS : public QDialog {
    Q_OBJECT
public:
    TfrmAllocZOS(UserInterface& ui, AllocationAttributes& attributes, QWidget* parent = nullptr);

    QComboBox* cboUnit = nullptr;
    QLineEdit* edtPrimary = nullptr;
    QLineEdit* edtSecondary = nullptr;
    QLineEdit* edtRecfm = nullptr;
    QLineEdit* edtLrecl = nullptr;
    QLineEdit* edtBlksize = nullptr;
    QPushButton* btnProbablyWork = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

    void btnProbablyWorkClick();
    void btnOKClick();
    void btnCancelClick();

    // How long the buttons rest after the sample values were filled in, so they can be read
    // before the next click.
    void SetProbablyWorkPause(int milliseconds) { m_pauseMs = milliseconds; }

    void done(int result) override;

private:
    void EmptyUnlessWholeNumber(QLineEdit* edit);
    void SetButtonsEnabled(bool enabled);

    UserInterface& m_ui;
    AllocationAttributes& m_attributes;
    int m_pauseMs = 800;
};
