#include "transfer/widgets/frm_synchronise.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

TfrmSynchronise::TfrmSynchronise(QWidget* parent) : QDialog(parent) {
    setObjectName("frmSynchronise");
    setWindowTitle("Synchronise");
    auto* v = new QVBoxLayout(this);
    lblSummary = new QLabel(this);
    lblSummary->setWordWrap(true);
    v->addWidget(lblSummary);
    lvDifferences = new QTreeWidget(this);
    lvDifferences->setObjectName("lvDifferences");
    lvDifferences->setHeaderLabels({"Difference", "Path", "Here", "On the server"});
    lvDifferences->setRootIsDecorated(false);
    lvDifferences->setUniformRowHeights(true);  // a big site lists thousands of rows
    lvDifferences->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    v->addWidget(lvDifferences, 1);
    rbUpload = new QRadioButton("Upload: make the server like this computer (publish)", this);
    rbDownload = new QRadioButton("Download: make this computer like the server (back up)", this);
    rbUpload->setChecked(true);
    chkDelete = new QCheckBox("Delete what exists only on the target", this);
    lblPlan = new QLabel(this);
    lblPlan->setObjectName("lblPlan");
    for (QWidget* w : {static_cast<QWidget*>(rbUpload), static_cast<QWidget*>(rbDownload),
                       static_cast<QWidget*>(chkDelete), static_cast<QWidget*>(lblPlan)}) {
        v->addWidget(w);
    }
    auto* buttons = new QDialogButtonBox(this);
    btnRun = buttons->addButton("Synchronise", QDialogButtonBox::AcceptRole);
    btnCancel = buttons->addButton(QDialogButtonBox::Cancel);
    v->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    for (QAbstractButton* b :
         {static_cast<QAbstractButton*>(rbUpload), static_cast<QAbstractButton*>(rbDownload),
          static_cast<QAbstractButton*>(chkDelete)}) {
        connect(b, &QAbstractButton::toggled, this, &TfrmSynchronise::ShowPlan);
    }
    setMinimumSize(760, 460);  // room for the paths and both sides' sizes and times
}

void TfrmSynchronise::ShowPlan() {
    if (m_question != nullptr && m_question->planText) {
        lblPlan->setText(m_question->planText(rbUpload->isChecked(), chkDelete->isChecked()));
    }
}

SyncAnswer TfrmSynchronise::Ask(const SyncQuestion& question) {
    m_question = &question;
    lblSummary->setText(question.localDir + "  and  " + question.remoteDir + ":\n" +
                        question.summary);
    QList<QTreeWidgetItem*> rows;
    rows.reserve(question.rows.size());
    for (const SyncQuestion::Row& row : question.rows) {
        rows.append(new QTreeWidgetItem({row.difference, row.path, row.here, row.there}));
    }
    lvDifferences->addTopLevelItems(rows);
    ShowPlan();
    const bool run = exec() == QDialog::Accepted;
    m_question = nullptr;
    return {run, rbUpload->isChecked(), chkDelete->isChecked()};
}
