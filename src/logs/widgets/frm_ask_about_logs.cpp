#include "logs/widgets/frm_ask_about_logs.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "runtime/user_interface.h"

TfrmAskAboutLogs::TfrmAskAboutLogs(UserInterface& ui, QWidget* parent) : QDialog(parent), m_ui(ui) {
    setObjectName("frmAskAboutLogs");
    setWindowTitle("Set Log Processing Options");
    auto* v = new QVBoxLayout(this);
    v->addWidget(new QLabel("Choose log processing options", this));
    lblPrefix = new QLabel(this);
    v->addWidget(lblPrefix);
    auto* domainRow = new QHBoxLayout;
    lblDomain = new QLabel(this);
    btnDomain = new TColorButton("Change associated domain name", this);
    domainRow->addWidget(lblDomain, 1);
    domainRow->addWidget(btnDomain);
    v->addLayout(domainRow);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("File extensions to summarise in processed log output:", this), 0,
                    0);
    grid->addWidget(new QLabel("Ignore URLs from stats if they contain:", this), 0, 1);
    lstExtensions = new QListWidget(this);
    lstFilters = new QListWidget(this);
    grid->addWidget(lstExtensions, 1, 0);
    grid->addWidget(lstFilters, 1, 1);
    btnAddExtension = new TColorButton("Add File Extn", this);
    btnDeleteExtension = new TColorButton("Delete File Extn", this);
    btnDefaultExtensions = new TColorButton("Use Defined Default File Extns", this);
    btnAddFilter = new TColorButton("Add URL text", this);
    btnDeleteFilter = new TColorButton("Delete URL text", this);
    btnDefaultFilters = new TColorButton("Default URL text list", this);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    for (TColorButton* b : {btnAddExtension, btnDeleteExtension, btnDefaultExtensions}) {
        left->addWidget(b);
    }
    for (TColorButton* b : {btnAddFilter, btnDeleteFilter, btnDefaultFilters}) {
        right->addWidget(b);
    }
    grid->addLayout(left, 2, 0);
    grid->addLayout(right, 2, 1);
    v->addLayout(grid);
    auto* row = new QHBoxLayout;
    btnCancel = new TColorButton("Cancel", this);
    btnOk = new TColorButton("OK", this);
    btnOk->setDefault(true);
    row->addStretch(1);
    row->addWidget(btnCancel);
    row->addWidget(btnOk);
    v->addLayout(row);

    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnDomain, &QPushButton::clicked, this, [this] {
        QString domain = m_options.domain;
        if (m_ui.InputQuery("Supply Domain Name", "Please supply new domain name:", domain)) {
            m_options.domain = domain.trimmed();
        }
        After(QString());
    });
    connect(btnAddExtension, &QPushButton::clicked, this, [this] {
        QString typed;
        if (m_ui.InputQuery("New File Extension",
                            "Please supply file extension for log summaries :", typed)) {
            After(m_options.AddExtension(typed));
        }
    });
    connect(btnDeleteExtension, &QPushButton::clicked, this,
            [this] { After(m_options.DeleteExtension(Selected(lstExtensions))); });
    connect(btnDefaultExtensions, &QPushButton::clicked, this, [this] {
        m_options.DefaultExtensions();
        After(QString());
    });
    connect(btnAddFilter, &QPushButton::clicked, this, [this] {
        QString typed;
        if (m_ui.InputQuery("New URL Filter",
                            "Please new URL filter text for Log processing :", typed)) {
            After(m_options.AddFilter(typed));
        }
    });
    connect(btnDeleteFilter, &QPushButton::clicked, this,
            [this] { After(m_options.DeleteFilter(Selected(lstFilters))); });
    connect(btnDefaultFilters, &QPushButton::clicked, this, [this] {
        m_options.DefaultFilters();
        After(QString());
    });
}

QString TfrmAskAboutLogs::Selected(const QListWidget* list) {
    const QListWidgetItem* item = list->currentItem();
    return item != nullptr && item->isSelected() ? item->text() : QString();
}

void TfrmAskAboutLogs::After(const QString& message) {
    if (!message.isEmpty()) {
        m_ui.ShowColorMsg(message);
    }
    Show();
}

void TfrmAskAboutLogs::Show() {
    lblPrefix->setText("Settings for logfiles prefixed " + m_options.prefix);
    lblDomain->setText("Associated domain name is " + m_options.domain);
    lstExtensions->clear();
    lstExtensions->addItems(m_options.SortedExtensions());
    lstFilters->clear();
    lstFilters->addItems(m_options.SortedFilters());
}

bool TfrmAskAboutLogs::Ask(LogOptions& options) {
    m_options = options;
    Show();
    if (exec() != QDialog::Accepted) {
        return false;
    }
    options = m_options;
    return true;
}
