#include "ui/frm_options.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QScreen>
#include <QVBoxLayout>

#include "session/session.h"
#include "ui/base/message_box.h"
#include "ui/frm_colour.h"
#include "ui/frm_main.h"

namespace {

QWidget* ListEditor(QWidget* parent, QListWidget* list,
                    std::initializer_list<TColorButton*> buttons) {
    auto* box = new QWidget(parent);
    auto* h = new QHBoxLayout(box);
    h->setContentsMargins(0, 0, 0, 0);
    list->setMinimumHeight(72);
    h->addWidget(list, 1);
    auto* v = new QVBoxLayout;
    for (TColorButton* b : buttons) {
        v->addWidget(b);
    }
    v->addStretch(1);
    h->addLayout(v);
    return box;
}

void FillList(QListWidget* list, const QStringList& items) {
    list->clear();
    list->addItems(items);
}

// Removes the selected entry; false when none is selected.
bool RemoveSelected(QListWidget* list, QStringList& items) {
    const int row = list->currentRow();
    if (row < 0 || row >= items.size() || list->selectedItems().isEmpty()) {
        return false;
    }
    items.removeAt(row);
    return true;
}

}  // namespace

TfrmOptions::TfrmOptions(TfrmMain& main)
    : QDialog(&main), m_main(main), m_values(OptionsValues::FromSettings(main.Core().settings)) {
    setObjectName("frmOptions");
    setWindowTitle("Vorlen FTP Settings");

    // Left column: editor, text types, gzip, favourites, directories, colour.
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel("Preferred Text Editor", this));
    edtEditor = new QLineEdit(m_values.favoredEditor, this);
    left->addWidget(edtEditor);
    left->addWidget(new QLabel("Text file types (transferred as text in Auto mode):", this));
    lstAscii = new QListWidget(this);
    btnAddAscii = new TColorButton("Add Text filetype", this);
    btnDeleteAscii = new TColorButton("Delete Selected Type", this);
    btnResetAscii = new TColorButton("Reset to default types", this);
    left->addWidget(ListEditor(this, lstAscii, {btnAddAscii, btnDeleteAscii, btnResetAscii}), 1);
    left->addWidget(new QLabel("Fully qualified name of Gzip executable:", this));
    edtGzip = new QLineEdit(m_values.gzipPath, this);
    btnBrowseGzip = new TColorButton("Browse for File", this);
    auto* gzipRow = new QHBoxLayout;
    gzipRow->addWidget(edtGzip, 1);
    gzipRow->addWidget(btnBrowseGzip);
    left->addLayout(gzipRow);
    auto* fav = new QFormLayout;
    edtFavRemDir = new QLineEdit(m_values.favRemDir, this);
    edtFavCaption = new QLineEdit(m_values.favRemDirCaption, this);
    fav->addRow("Favourite local dir", edtFavRemDir);
    fav->addRow("Favourite Button Caption", edtFavCaption);
    cboExistingFiles = new QComboBox(this);
    cboExistingFiles->addItems({"Ask", "Overwrite", "Overwrite if newer", "Skip"});
    cboExistingFiles->setCurrentIndex(m_values.existingFiles);
    cboExistingFiles->setToolTip(
        "What a transfer of several files does with a file that already exists where it goes.\n"
        "Scripts always overwrite.");
    fav->addRow("When a file exists", cboExistingFiles);
    spnSimultaneous = new QSpinBox(this);
    spnSimultaneous->setRange(1, 8);
    spnSimultaneous->setValue(m_values.simultaneousTransfers);
    spnSimultaneous->setToolTip(
        "How many files a batch (the transfer buttons, drag and drop, Synchronise) moves at "
        "once: over FTP each over its own connection to the site, over SFTP inside the one "
        "session.\n1 moves one file after the other.");
    fav->addRow("Simultaneous transfers", spnSimultaneous);
    left->addLayout(fav);
    btnResetDirs = new TColorButton("Reset remembered directories", this);
    btnSetColour = new TColorButton("Set Form Colour", this);
    auto* extraRow = new QHBoxLayout;
    extraRow->addWidget(btnResetDirs);
    extraRow->addWidget(btnSetColour);
    extraRow->addStretch(1);
    left->addLayout(extraRow);

    // Right column: the log functions.
    auto* right = new QVBoxLayout;
    chkLogsEnabled = new QCheckBox("Enable logfile functions", this);
    chkLogsEnabled->setChecked(m_values.logsEnabled);
    right->addWidget(chkLogsEnabled);
    grpLogs = new QGroupBox(this);
    auto* logs = new QVBoxLayout(grpLogs);
    logs->addWidget(new QLabel("File extensions to summarise in processed log output:", grpLogs));
    lstSumm = new QListWidget(grpLogs);
    btnAddSumm = new TColorButton("Add File Extn", grpLogs);
    btnDeleteSumm = new TColorButton("Delete File Extn", grpLogs);
    btnResetSumm = new TColorButton("Default File Extns", grpLogs);
    logs->addWidget(ListEditor(grpLogs, lstSumm, {btnAddSumm, btnDeleteSumm, btnResetSumm}), 1);
    logs->addWidget(new QLabel("Ignore URLs from stats log if they contain:", grpLogs));
    lstUrl = new QListWidget(grpLogs);
    btnAddUrl = new TColorButton("Add URL text", grpLogs);
    btnDeleteUrl = new TColorButton("Delete URL text", grpLogs);
    btnResetUrl = new TColorButton("Default URL text list", grpLogs);
    logs->addWidget(ListEditor(grpLogs, lstUrl, {btnAddUrl, btnDeleteUrl, btnResetUrl}), 1);
    auto* dirs = new QGridLayout;
    edtLocalLogdir = new QLineEdit(m_values.localLogdir, grpLogs);
    btnBrowseLogdir = new TColorButton("Browse for Dir", grpLogs);
    edtRemLogdir = new QLineEdit(m_values.remLogdir, grpLogs);
    edtRemLogdirAlt = new QLineEdit(m_values.remLogdirAlt, grpLogs);
    dirs->addWidget(new QLabel("Local Log Folder", grpLogs), 0, 0);
    dirs->addWidget(edtLocalLogdir, 0, 1);
    dirs->addWidget(btnBrowseLogdir, 0, 2);
    dirs->addWidget(new QLabel("Remote Log Directory", grpLogs), 1, 0);
    dirs->addWidget(edtRemLogdir, 1, 1, 1, 2);
    dirs->addWidget(new QLabel("Alternate Remote Log Dir", grpLogs), 2, 0);
    dirs->addWidget(edtRemLogdirAlt, 2, 1, 1, 2);
    logs->addLayout(dirs);
    right->addWidget(grpLogs, 1);
    grpLogs->setVisible(m_values.logsEnabled);
    right->addStretch(0);

    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 1);
    columns->addSpacing(12);
    columns->addLayout(right, 1);
    btnSave = new TColorButton("Save Options and Close", this);
    btnCancel = new TColorButton("Cancel", this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnSave);
    buttons->addWidget(btnCancel);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(columns, 1);
    outer->addLayout(buttons);

    // The log fields wide enough for a usual path, and the dialog grown to show them whole.
    const int pathWidth = fontMetrics().horizontalAdvance(QString(12, QChar('M')));
    for (QLineEdit* edit : {edtLocalLogdir, edtRemLogdir, edtRemLogdirAlt}) {
        edit->setMinimumWidth(pathWidth);
    }
    connect(chkLogsEnabled, &QCheckBox::toggled, this, [this](bool on) {
        grpLogs->setVisible(on);
        if (on) {
            layout()->activate();
            QSize wanted = size().expandedTo(sizeHint());
            if (screen() != nullptr) {
                wanted = wanted.boundedTo(screen()->availableGeometry().size());
            }
            resize(wanted);
        }
    });
    connect(btnAddAscii, &QPushButton::clicked, this, &TfrmOptions::AddAsciiClick);
    connect(btnDeleteAscii, &QPushButton::clicked, this, &TfrmOptions::DeleteAsciiClick);
    connect(btnResetAscii, &QPushButton::clicked, this, &TfrmOptions::ResetAsciiClick);
    connect(btnAddSumm, &QPushButton::clicked, this, &TfrmOptions::AddSummClick);
    connect(btnDeleteSumm, &QPushButton::clicked, this, &TfrmOptions::DeleteSummClick);
    connect(btnResetSumm, &QPushButton::clicked, this, &TfrmOptions::ResetSummClick);
    connect(btnAddUrl, &QPushButton::clicked, this, &TfrmOptions::AddUrlClick);
    connect(btnDeleteUrl, &QPushButton::clicked, this, &TfrmOptions::DeleteUrlClick);
    connect(btnResetUrl, &QPushButton::clicked, this, &TfrmOptions::ResetUrlClick);
    connect(btnResetDirs, &QPushButton::clicked, this, &TfrmOptions::ResetDirsClick);
    connect(btnSetColour, &QPushButton::clicked, this, &TfrmOptions::SetFormColourClick);
    connect(edtLocalLogdir, &QLineEdit::editingFinished, this, &TfrmOptions::LocalLogdirExit);
    connect(btnSave, &QPushButton::clicked, this, &TfrmOptions::SaveClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnBrowseGzip, &QPushButton::clicked, this, [this] {
        const QString file = QFileDialog::getOpenFileName(this, "Browse for File", edtGzip->text());
        if (!file.isEmpty()) {
            edtGzip->setText(QDir::toNativeSeparators(file));
        }
    });
    connect(btnBrowseLogdir, &QPushButton::clicked, this, [this] {
        const QString dir =
            QFileDialog::getExistingDirectory(this, "Browse for Dir", edtLocalLogdir->text());
        if (!dir.isEmpty()) {
            edtLocalLogdir->setText(QDir::toNativeSeparators(dir));
        }
    });

    ShowLists();
    m_main.ApplyColoursTo(this);
    FitWidthToTitle(this);
}

void TfrmOptions::ShowLists() {
    FillList(lstAscii, m_values.asciiTypes);
    FillList(lstSumm, m_values.summaryTypes);
    FillList(lstUrl, m_values.urlFilters);
}

bool TfrmOptions::Confirm(const QString& question) {
    return m_main.ConfirmYesNo(question);
}

void TfrmOptions::Warn(const QString& text) {
    if (!text.isEmpty()) {
        m_main.Warning(text);
    }
}

void TfrmOptions::AskAndAdd(const QString& title, const QString& prompt, QStringList& list,
                            QString (*add)(QStringList&, const QString&)) {
    QString answer;
    if (m_main.InputQuery(title, prompt, answer)) {
        Warn(add(list, answer));
        ShowLists();
    }
}

void TfrmOptions::DeleteSelected(QListWidget* widget, QStringList& list,
                                 const QString& noneSelected) {
    if (RemoveSelected(widget, list)) {
        ShowLists();
    } else {
        Warn(noneSelected);
    }
}

void TfrmOptions::ResetList(const QString& question, QStringList& list,
                            const QStringList& defaults) {
    if (Confirm(question)) {
        list = defaults;
        ShowLists();
    }
}

void TfrmOptions::AddAsciiClick() {
    AskAndAdd("New Ascii filetype", "Please supply new ascii filetype :", m_values.asciiTypes,
              AddAsciiType);
}

void TfrmOptions::DeleteAsciiClick() {
    DeleteSelected(lstAscii, m_values.asciiTypes, QString());
}

void TfrmOptions::ResetAsciiClick() {
    ResetList("Reset to default list of filetypes transferred as text?", m_values.asciiTypes,
              kDefaultAsciiFiletypes.split('|'));
}

void TfrmOptions::AddSummClick() {
    AskAndAdd("New File Extension",
              "Please supply file extension for log summaries :", m_values.summaryTypes,
              AddSummaryType);
}

void TfrmOptions::DeleteSummClick() {
    DeleteSelected(lstSumm, m_values.summaryTypes, "No file extension was selected for removal");
}

void TfrmOptions::ResetSummClick() {
    // The default list of summarised extensions is empty.
    ResetList("Reset to default file extension list for log processing?", m_values.summaryTypes,
              {});
}

void TfrmOptions::AddUrlClick() {
    AskAndAdd("New URL text contents",
              "Please supply new text for URL filtering :", m_values.urlFilters, AddUrlFilter);
}

void TfrmOptions::DeleteUrlClick() {
    DeleteSelected(lstUrl, m_values.urlFilters, "No filter text was selected for removal");
}

void TfrmOptions::ResetUrlClick() {
    ResetList("Reset listed URL text segments to default?", m_values.urlFilters, {});
}

void TfrmOptions::ResetDirsClick() {
    if (!Confirm("Reset directories remembered for local and remote dropdown lists?")) {
        return;
    }
    AppCore& core = m_main.Core();
    const QString local = m_main.cmbxLocalDir->currentText().isEmpty()
                              ? core.settings.site.infLocDirs.value(0)
                              : m_main.cmbxLocalDir->currentText();
    ResetRememberedDirectories(core.settings.site, local, core.session->currentRemoteDir);
    m_main.cmbxLocalDir->clear();
    m_main.cmbxLocalDir->addItems(core.settings.site.infLocDirs);
    m_main.cmbxRemDir->clear();
    m_main.cmbxRemDir->addItems(core.settings.site.infRemDirs);
    core.store.UpdateSettings();
}

void TfrmOptions::SetFormColourClick() {
    const bool thisSite = m_values.chosenColour.isEmpty()
                              ? m_main.Core().settings.site.specialColours
                              : m_values.colourThisSiteOnly;
    const QString start =
        m_values.chosenColour.isEmpty() ? m_main.CurrentColourText() : m_values.chosenColour;
    TfrmColour dialog(this, m_main.CurrentTheme(), start, thisSite);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    m_values.chosenColour = dialog.ChosenColour();
    m_values.colourThisSiteOnly = dialog.ThisSiteOnly();
    // The dialog shows the new colour at once; the window takes it when the options are saved.
    const Rgb c = ParseRgb(m_values.chosenColour);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(c.r, c.g, c.b));
    setPalette(pal);
}

void TfrmOptions::LocalLogdirExit() {
    const QString folder = edtLocalLogdir->text().trimmed();
    if (!folder.isEmpty() && !QFileInfo(folder).isDir()) {
        m_main.Warning("Error - directory " + folder + " does not exist.");
    }
}

void TfrmOptions::CollectFields() {
    m_values.favoredEditor = edtEditor->text();
    m_values.gzipPath = edtGzip->text();
    m_values.logsEnabled = chkLogsEnabled->isChecked();
    m_values.localLogdir = edtLocalLogdir->text();
    m_values.remLogdir = edtRemLogdir->text();
    m_values.remLogdirAlt = edtRemLogdirAlt->text();
    m_values.favRemDir = edtFavRemDir->text();
    m_values.favRemDirCaption = edtFavCaption->text();
    m_values.existingFiles = cboExistingFiles->currentIndex();
    m_values.simultaneousTransfers = spnSimultaneous->value();
}

void TfrmOptions::SaveClick() {
    CollectFields();
    AppCore& core = m_main.Core();
    m_values.StoreTo(core.settings, m_main.CurrentTheme());
    core.store.UpdateSettings();
    m_main.ApplySettingsToControls();
    m_main.ApplyLogsEnabled();
    m_main.SetFormColour();
    accept();
}
