#include "procmail/widgets/frm_help_procmail.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QVBoxLayout>

TfrmHelpProcmail::TfrmHelpProcmail(QWidget* parent) : QDialog(parent) {
    setObjectName("frmHelpProcmail");
    setWindowTitle("Procmail help");
    auto* v = new QVBoxLayout(this);
    memHelp = new QPlainTextEdit(this);
    memHelp->setObjectName("memHelp");
    memHelp->setReadOnly(true);
    QFile text(":/help/procmail.md");
    if (text.open(QIODevice::ReadOnly)) {
        memHelp->setPlainText(QString::fromUtf8(text.readAll()));
    }
    v->addWidget(memHelp);
    resize(720, 560);
}
