#include "ui/frm_ask_pass.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "ui/base/message_box.h"
#include "ui/frm_main.h"

TfrmAskPass::TfrmAskPass(TfrmMain& main, const QString& line1, const QString& line2)
    : QDialog(&main), m_main(main) {
    setObjectName("frmAskPass");
    setWindowTitle("Request Login information");
    auto* v = new QVBoxLayout(this);
    lblInfo1 = new QLabel(line1, this);
    lblInfo2 = new QLabel(line2, this);
    v->addWidget(lblInfo1);
    v->addWidget(lblInfo2);
    edtPassword = new QLineEdit(this);
    edtPassword->setEchoMode(QLineEdit::Password);
    edtPassword->setMinimumWidth(260);
    v->addWidget(edtPassword);
    chkSavePassword = new QCheckBox("Save Password", this);
    v->addWidget(chkSavePassword);
    btnOk = new TColorButton("OK", this);
    btnCancel = new TColorButton("Cancel", this);
    btnOk->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    v->addLayout(buttons);
    FitWidthToTitle(this);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

PasswordAnswer TfrmAskPass::Ask() {
    m_main.ApplyColoursTo(this);
    PasswordAnswer answer;
    answer.ok = exec() == QDialog::Accepted;
    if (answer.ok) {
        answer.password = edtPassword->text();
        answer.save = chkSavePassword->isChecked();
    }
    edtPassword->clear();
    return answer;
}
