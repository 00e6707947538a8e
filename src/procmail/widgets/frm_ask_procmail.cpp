#include "procmail/widgets/frm_ask_procmail.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QVBoxLayout>

TfrmAskProcmail::TfrmAskProcmail(QWidget* parent) : QDialog(parent) {
    setObjectName("frmAskProcmail");
    setWindowTitle("Procmail confirmation");
    auto* v = new QVBoxLayout(this);
    v->addWidget(
        new QLabel("Do you want to retrieve and update your procmail recipe then send it "
                   "back to the server?",
                   this));
    v->addWidget(
        new QLabel("(To regenerate from a different local file, select it prior to "
                   "clicking the Procmail button.)",
                   this));
    lblAlternative = new QLabel(this);
    lblLocalTimestamp = new QLabel(this);
    lblRemoteTimestamp = new QLabel(this);
    v->addWidget(lblAlternative);
    v->addWidget(lblLocalTimestamp);
    v->addWidget(lblRemoteTimestamp);
    v->addWidget(new QLabel("Local procmail directory:", this));
    edtDirectory = new QLineEdit(this);
    edtDirectory->setObjectName("edtDirectory");
    edtDirectory->setMinimumWidth(420);
    v->addWidget(edtDirectory);
    auto* row = new QHBoxLayout;
    btnBrowse = new TColorButton("Browse for dir", this);
    btnRegenerate = new TColorButton("Regenerate", this);
    btnNo = new TColorButton("No", this);
    btnYes = new TColorButton("Yes", this);
    btnYes->setDefault(true);
    row->addWidget(btnBrowse);
    row->addWidget(btnRegenerate);
    row->addStretch(1);
    row->addWidget(btnNo);
    row->addWidget(btnYes);
    v->addLayout(row);

    browseForFolder = [this](const QString& start) {
        return QFileDialog::getExistingDirectory(this, "Browse for dir", start);
    };
    auto close = [this](ProcmailChoice choice) {
        m_choice = choice;
        accept();
    };
    connect(btnYes, &QPushButton::clicked, this, [close] { close(ProcmailChoice::Yes); });
    connect(btnRegenerate, &QPushButton::clicked, this,
            [close] { close(ProcmailChoice::Regenerate); });
    connect(btnNo, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnBrowse, &QPushButton::clicked, this, [this] {
        QString chosen = browseForFolder(edtDirectory->text().trimmed());
        if (chosen.isEmpty()) {
            return;
        }
        // A trailing separator goes, except on a bare root.
        if (chosen.size() > 1 && (chosen.endsWith('/') || chosen.endsWith('\\')) &&
            !chosen.endsWith(":\\") && !chosen.endsWith(":/")) {
            chosen.chop(1);
        }
        if (chosen.size() == 2 && chosen.at(1) == ':') {
            chosen += '\\';
        }
        edtDirectory->setText(QDir::toNativeSeparators(chosen));
    });
}

ProcmailAnswer TfrmAskProcmail::Ask(const ProcmailQuery& query) {
    edtDirectory->setText(query.directory);
    lblAlternative->setText(query.alternativeText);
    lblLocalTimestamp->setText(query.localTimestamp);
    lblRemoteTimestamp->setText(query.remoteTimestamp);
    for (QLabel* label : {lblAlternative, lblLocalTimestamp, lblRemoteTimestamp}) {
        label->setVisible(!label->text().isEmpty());
    }
    btnRegenerate->setText(query.regenerateCaption.isEmpty() ? "Regenerate"
                                                             : query.regenerateCaption);
    btnRegenerate->setVisible(query.regenerateVisible);
    m_choice = ProcmailChoice::No;
    if (exec() != QDialog::Accepted) {
        m_choice = ProcmailChoice::No;
    }
    return {m_choice, edtDirectory->text().trimmed()};
}
