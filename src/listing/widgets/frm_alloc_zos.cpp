#include "listing/widgets/frm_alloc_zos.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <climits>

#include "config/words.h"
#include "runtime/user_interface.h"

namespace {

// A whole number that also fits the attribute it is written to.
bool IsUsableNumber(const QString& text) {
    return IsWholeNumber(text) && WholeNumberOr(text, INT_MIN) != INT_MIN;
}

}  // namespace

TfrmAllocZOS::TfrmAllocZOS(UserInterface& ui, AllocationAttributes& attributes, QWidget* parent)
    : QDialog(parent), m_ui(ui), m_attributes(attributes) {
    setWindowTitle(QStringLiteral("File Allocation Attributes"));
    setModal(true);

    auto* intro = new QLabel(
        QStringLiteral("Because the file to be uploaded does not exist on the MVS server, "
                       "allocation attributes must be supplied"),
        this);
    intro->setWordWrap(true);

    cboUnit = new QComboBox(this);
    cboUnit->addItems({QStringLiteral("CYL"), QStringLiteral("TRK")});
    cboUnit->setCurrentIndex(0);
    edtPrimary = new QLineEdit(QStringLiteral("1"), this);
    edtSecondary = new QLineEdit(QStringLiteral("1"), this);
    edtRecfm = new QLineEdit(this);
    edtLrecl = new QLineEdit(this);
    edtBlksize = new QLineEdit(this);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Allocation unit"), cboUnit);
    form->addRow(QStringLiteral("Primary allocation"), edtPrimary);
    form->addRow(QStringLiteral("Secondary allocation"), edtSecondary);
    form->addRow(QStringLiteral("Record format"), edtRecfm);
    form->addRow(QStringLiteral("Record length"), edtLrecl);
    form->addRow(QStringLiteral("Block size"), edtBlksize);

    btnProbablyWork =
        new QPushButton(QStringLiteral("Just give me some values that will probably work"), this);
    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnOK->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(form);
    layout->addWidget(btnProbablyWork);
    layout->addLayout(buttons);

    for (QLineEdit* edit : {edtPrimary, edtSecondary, edtLrecl, edtBlksize}) {
        connect(edit, &QLineEdit::textChanged, this,
                [this, edit] { EmptyUnlessWholeNumber(edit); });
    }
    connect(edtRecfm, &QLineEdit::editingFinished, this,
            [this] { edtRecfm->setText(edtRecfm->text().toUpper()); });
    connect(btnProbablyWork, &QPushButton::clicked, this, &TfrmAllocZOS::btnProbablyWorkClick);
    connect(btnOK, &QPushButton::clicked, this, &TfrmAllocZOS::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmAllocZOS::btnCancelClick);
}

void TfrmAllocZOS::EmptyUnlessWholeNumber(QLineEdit* edit) {
    if (!edit->text().isEmpty() && !IsWholeNumber(edit->text())) {
        edit->clear();
    }
}

void TfrmAllocZOS::SetButtonsEnabled(bool enabled) {
    for (QPushButton* button : {btnProbablyWork, btnOK, btnCancel}) {
        button->setEnabled(enabled);
    }
}

void TfrmAllocZOS::btnProbablyWorkClick() {
    cboUnit->setCurrentIndex(0);
    edtPrimary->setText(QStringLiteral("2"));
    edtSecondary->setText(QStringLiteral("25"));
    edtRecfm->setText(QStringLiteral("VB"));
    edtLrecl->setText(QStringLiteral("27994"));
    edtBlksize->setText(QStringLiteral("27998"));
    // The pause keeps the event loop running: the buttons rest, nothing sleeps.
    SetButtonsEnabled(false);
    QTimer::singleShot(m_pauseMs, this, [this] { SetButtonsEnabled(true); });
}

void TfrmAllocZOS::btnOKClick() {
    const QString blockSize = edtBlksize->text();
    QString problem;
    if (!IsUsableNumber(edtPrimary->text())) {
        problem = QStringLiteral("No numeric value supplied for primary allocation");
    } else if (!IsUsableNumber(edtSecondary->text())) {
        problem = QStringLiteral("No numeric value supplied for secondary allocation");
    } else if (!IsUsableNumber(edtLrecl->text())) {
        problem = QStringLiteral("No numeric value supplied for record length");
    } else if (!IsUsableNumber(blockSize) && !blockSize.trimmed().isEmpty()) {
        problem = QStringLiteral("Non numeric value supplied for block size");
    } else if (edtRecfm->text().trimmed().isEmpty()) {
        problem = QStringLiteral("No value supplied for record format");
    }
    if (!problem.isEmpty()) {
        m_ui.ColorMsgDlg(problem, MsgDlgType::Warning, MsgDlgBtn::OK);
        return;
    }
    m_attributes.accepted = true;
    accept();
}

void TfrmAllocZOS::btnCancelClick() {
    reject();
}

void TfrmAllocZOS::done(int result) {
    // Escape and the window's close button count as Cancel.
    if (result != QDialog::Accepted) {
        m_attributes.accepted = false;
    }
    m_attributes.recordLength = WholeNumberOr(edtLrecl->text(), 0);
    m_attributes.blockSize = WholeNumberOr(edtBlksize->text(), 0);
    m_attributes.primary = WholeNumberOr(edtPrimary->text(), 0);
    m_attributes.secondary = WholeNumberOr(edtSecondary->text(), 0);
    m_attributes.recordFormat = edtRecfm->text().trimmed().toUpper();
    m_attributes.unitIndex = cboUnit->currentIndex();
    QDialog::done(result);
}
