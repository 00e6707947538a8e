#include "script/widgets/frm_select_script.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

TfrmSelectScript::TfrmSelectScript(QWidget* parent) : QDialog(parent) {
    setObjectName("frmSelectScript");
    setWindowTitle("Select Script");
    auto* v = new QVBoxLayout(this);
    v->addWidget(new QLabel("Enter fully qualified filename of file containing script:", this));
    edtFilename = new QLineEdit(this);
    edtFilename->setObjectName("edtFilename");
    edtFilename->setMinimumWidth(420);
    v->addWidget(edtFilename);
    auto* row = new QHBoxLayout;
    btnBrowse = new TColorButton("Browse for file", this);
    btnCancel = new TColorButton("Cancel", this);
    btnOk = new TColorButton("OK", this);
    btnOk->setDefault(true);
    row->addWidget(btnBrowse);
    row->addStretch(1);
    row->addWidget(btnCancel);
    row->addWidget(btnOk);
    v->addLayout(row);

    browseForFile = [this](const QString& start) {
        return QFileDialog::getOpenFileName(this, "Script file", start);
    };
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, [this] {
        edtFilename->clear();
        reject();
    });
    connect(btnBrowse, &QPushButton::clicked, this, [this] {
        const QString start = edtFilename->text().trimmed();
        const QString chosen =
            browseForFile(start.isEmpty() ? QString() : QFileInfo(start).absolutePath());
        if (!chosen.isEmpty()) {
            edtFilename->setText(QDir::toNativeSeparators(chosen));
        }
    });
}

QString TfrmSelectScript::Ask(const QString& initial) {
    edtFilename->setText(initial);
    if (exec() != QDialog::Accepted) {
        return QString();
    }
    return edtFilename->text();
}
