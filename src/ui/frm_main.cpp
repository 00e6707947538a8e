#include "ui/frm_main.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>
#include <tuple>
#include <utility>

#include "app/remote_edits.h"
#include "config/words.h"
#include "listing/widgets/frm_alloc_zos.h"
#include "logs/widgets/frm_ask_about_logs.h"
#include "logs/widgets/frm_log_report.h"
#include "panes/local_pane.h"
#include "panes/remote_pane.h"
#include "platform/platform.h"
#include "procmail/widgets/frm_ask_procmail.h"
#include "script/script_runner.h"
#include "script/widgets/frm_select_script.h"
#include "session/session.h"
#include "transfer/synchroniser.h"
#include "transfer/widgets/frm_chmod.h"
#include "transfer/widgets/frm_synchronise.h"
#include "ui/base/message_box.h"
#include "ui/frm_ask_pass.h"
#include "ui/frm_help.h"
#include "ui/frm_login.h"
#include "ui/frm_options.h"
#include "ui/local_pane_view.h"
#include "ui/logs_view.h"
#include "ui/model/placement.h"
#include "ui/procmail_view.h"
#include "ui/remote_pane_view.h"
#include "ui/script_view.h"
#include "ui/session_view.h"
#include "ui/transfer_view.h"

namespace {

QColor ToColor(const Rgb& rgb) {
    return QColor(rgb.r, rgb.g, rgb.b);
}

// The desktop's title-bar colour as "R G B": the palette's highlight colour here.
QString TitleBarColourText() {
    const QColor c = QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight);
    return QString("%1 %2 %3").arg(c.red()).arg(c.green()).arg(c.blue());
}

// The common look and behaviour of the two file lists.
void ConfigureList(QTreeView* list) {
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setUniformRowHeights(true);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    list->setMinimumHeight(120);
    // A tree view's heading does not report clicks unless told to; the panes sort on them.
    list->header()->setSectionsClickable(true);
    list->header()->setSortIndicatorShown(true);
    QPalette pal = list->palette();
    pal.setColor(QPalette::Base, Qt::white);
    list->setPalette(pal);
}

// A pane: a column of controls without margins of its own.
QVBoxLayout* PaneLayout(QWidget* pane, const QString& name) {
    pane->setObjectName(name);
    auto* v = new QVBoxLayout(pane);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(4);
    return v;
}

// An editable directory box whose width follows the pane, not its longest entry.
QComboBox* MakeDirCombo(const QString& name, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->setEditable(true);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    return combo;
}

// Room a list cell needs beside its text (the item view's focus margins and a little air).
constexpr int kCellPad = 8;

// The name column of a file list takes the width the other columns leave (never less than
// Minimum): the others keep what they were given or what the person dragged them to.
// The size column grows to the widest size listed (a 4 GB file needs more room than the
// default), and never shrinks below what it was given.
class NameColumnFitter : public QObject {
public:
    NameColumnFitter(QTreeView* list, int minimum, int sizeColumn)
        : QObject(list), m_list(list), m_min(minimum), m_sizeColumn(sizeColumn) {
        list->header()->setStretchLastSection(false);
        list->viewport()->installEventFilter(this);
        connect(list->header(), &QHeaderView::sectionResized, this, [this](int logical, int, int) {
            if (logical != 0) {
                Fit();
            }
        });
        connect(list->model(), &QAbstractItemModel::modelReset, this, &NameColumnFitter::FitSizes);
        connect(list->model(), &QAbstractItemModel::layoutChanged, this,
                &NameColumnFitter::FitSizes);
    }

    void FitSizes() {
        const QAbstractItemModel* model = m_list->model();
        QString widest;
        for (int row = 0; model != nullptr && row < model->rowCount(); ++row) {
            const QString text = model->index(row, m_sizeColumn).data().toString();
            widest = text.size() > widest.size() ? text : widest;
        }
        const int needed = m_list->fontMetrics().horizontalAdvance(widest) + kCellPad;
        if (needed > m_list->header()->sectionSize(m_sizeColumn)) {
            m_list->header()->resizeSection(m_sizeColumn, needed);
        }
    }

    void Fit() {
        QHeaderView* header = m_list->header();
        if (m_fitting || header->count() == 0) {
            return;
        }
        m_fitting = true;
        int others = 0;
        for (int c = 1; c < header->count(); ++c) {
            others += header->isSectionHidden(c) ? 0 : header->sectionSize(c);
        }
        header->resizeSection(0, std::max(m_min, m_list->viewport()->width() - others));
        m_fitting = false;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize) {
            Fit();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QTreeView* m_list;
    int m_min;
    int m_sizeColumn;
    bool m_fitting = false;
};

void AttachContextMenu(QTreeView* list, QMenu* menu) {
    QObject::connect(
        list, &QWidget::customContextMenuRequested, menu,
        [list, menu](const QPoint& p) { menu->popup(list->viewport()->mapToGlobal(p)); });
}

QHBoxLayout* Row(std::initializer_list<QWidget*> widgets, bool stretch = true) {
    auto* row = new QHBoxLayout;
    row->setSpacing(4);
    for (QWidget* w : widgets) {
        row->addWidget(w);
    }
    if (stretch) {
        row->addStretch(1);
    }
    return row;
}

}  // namespace

TfrmMain::TfrmMain(const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent), m_core(std::make_unique<AppCore>(*this)) {
    setObjectName("frmMain");
    BuildMenus();

    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(4, 4, 4, 2);
    outer->setSpacing(4);
    auto* panes = new QWidget(central);
    auto* paneRow = new QHBoxLayout(panes);
    paneRow->setContentsMargins(0, 0, 0, 0);
    paneRow->setSpacing(4);
    pnlLocal = BuildLocalPane();
    pnlRemote = BuildRemotePane();
    // The remote list has one column more (permissions): it gets the larger share.
    paneRow->addWidget(pnlLocal, 5);
    paneRow->addWidget(BuildMiddleColumn(), 0);
    paneRow->addWidget(pnlRemote, 6);

    memMsgs = new QPlainTextEdit(central);
    memMsgs->setObjectName("memMsgs");
    memMsgs->setReadOnly(true);
    memMsgs->setMinimumHeight(60);
    memMsgs->setMaximumBlockCount(20000);
    auto* split = new QSplitter(Qt::Vertical, central);
    splMain = split;
    split->setChildrenCollapsible(false);
    split->addWidget(panes);
    split->addWidget(memMsgs);
    split->setStretchFactor(0, 4);
    split->setStretchFactor(1, 1);
    outer->addWidget(split, 1);

    progTransfer = new QProgressBar(central);
    progTransfer->setObjectName("progTransfer");
    progTransfer->setRange(0, 100);
    progTransfer->hide();
    outer->addWidget(progTransfer);
    pnlScript = BuildScriptPanel();
    outer->insertWidget(0, pnlScript);
    setCentralWidget(central);

    statusBar()->setObjectName("stbarMain");
    const int panelWidths[kStatusPanelCount] = {140, 50, 160, 180, 0};
    for (int i = 0; i < kStatusPanelCount; ++i) {
        m_panels[i] = new QLabel(this);
        m_panels[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        m_panels[i]->setMinimumWidth(panelWidths[i]);
        statusBar()->addWidget(m_panels[i], i == int(StatusPanel::General) ? 1 : 0);
    }

    resize(1024, 700);
    SetCaption("Vorlen FTP");
    SetConnectionLight(ConnectionLight::Red);
    WireSettingsControls();
    CreateViews();
    new LogsView(this, mnuLogRetrieval, mnuLogProcessing, *m_core->logRetrieval,
                 *m_core->logProcessing);

    SetDefaultColumnWidths();
    m_core->FormCreate(arguments);

    // The saved window size, place, maximised state and column widths. Without a saved place
    // the window opens centred; a saved frame that no longer fits the screen is fitted to it.
    const CommonSettings& common = m_core->settings.common;
    const int w = WholeNumberOr(common.windowWidth, width());
    const int h = IsWholeNumber(common.windowHeight) ? WholeNumberOr(common.windowHeight, height())
                                                     : height() + 2;
    const QRect area = screen() ? screen()->availableGeometry() : QRect(0, 0, 1600, 1000);
    resize(std::clamp(w, 640, std::max(640, area.width() - 8)),
           std::clamp(h, 480, std::max(480, area.height() - 8)));
    const QPoint saved(WholeNumberOr(common.windowLeft, 0), WholeNumberOr(common.windowTop, 0));
    // A file without a saved place reads 0,0: that one opens centred.
    if (IsWholeNumber(common.windowLeft) && IsWholeNumber(common.windowTop) && !saved.isNull()) {
        move(saved);
        m_savedPlace = saved;
    } else {
        move(area.left() + area.width() / 2 - width() / 2,
             area.top() + area.height() / 2 - height() / 2);
    }
    FitFrameToScreen();
    if (common.windowState.trimmed() == "2") {
        setWindowState(windowState() | Qt::WindowMaximized);  // applied when shown
    }
    for (int c = 0; c < 3; ++c) {
        if (IsWholeNumber(common.locWidths[c])) {
            lvLocalFiles->setColumnWidth(c, WholeNumberOr(common.locWidths[c], 100));
        }
    }
    for (int c = 0; c < 4; ++c) {
        if (IsWholeNumber(common.remWidths[c])) {
            lvRemote->setColumnWidth(c, WholeNumberOr(common.remWidths[c], 100));
        }
    }
    const int nameMinimum = lvRemote->fontMetrics().horizontalAdvance("a_typical_file_name.html");
    (new NameColumnFitter(lvLocalFiles, nameMinimum, 1))->Fit();
    (new NameColumnFitter(lvRemote, nameMinimum, 2))->Fit();

    m_login = new TfrmLogin(*this);
    m_help = new TfrmHelp(*this);
    m_created = true;
    ProcessMessages();
}

void TfrmMain::CreateViews() {
    AppCore& core = *m_core;
    auto created = [this] { return Created(); };
    m_localView = new LocalPaneView(
        this,
        {lvLocalFiles, cmbxLocalDir, lblLocalFileInfo, rgrpLocalSort, rgrpLocalSeq, btnRefreshLocal,
         edtLocalFilter, chkLocalHidden, btnNewLocalDir, btnDefLocal, btnOpenLoc, btnOpenAsText,
         btnRenameLoc, btnDeleteLoc, btnBrowse},
        *core.localPane, core.settings, *this, created);
    m_remoteView = new RemotePaneView(
        this,
        {lvRemote, cmbxRemDir, lblRemFileInfo, rgrpRemoteSort, rgrpRemoteSeq, btnRefreshRemote,
         edtRemoteFilter, chkRemoteHidden, btnHome, btnFavorite, btnMkDir},
        *core.remotePane, *core.session, core.settings, *this, created);
    m_sessionView = new SessionView(
        this,
        {btnConnect, mnuConnect, mnuDisconnect, mnuConnect2, mnuDisconnect2, btnAbortTransfer},
        *core.session);
    m_transferView = new TransferView(this,
                                      {btnUpload, btnDownload, btnMkDir, btnDeleteRem, btnRenameRem,
                                       btnChmodRem, lvLocalFiles, lvRemote},
                                      *core.transfers, *core.remoteOperations, *core.remotePane,
                                      core.run, [this] { return SelectedLocalNames(); });
    m_scriptView =
        new ScriptView(this,
                       {mnuRunScript,
                        pnlScript,
                        {lblScript1, lblScript2, lblScript3, lblScript4},
                        splMain,
                        {pnlLocal, pnlRemote, btnUpload, btnDownload, btnSync, btnConnect, btnClose,
                         chkbxLCUpload, chkbxResumeIntXfer, rgrpLink, rgrpTransferMode}},
                       *core.scripts);
    new ProcmailView(this, *core.procmail, *core.remotePane);
}

TfrmMain::~TfrmMain() {
    // The lists read rows the core owns, and the core goes before the base class hides the
    // children: hide and detach them while the rows are still there.
    hide();
    // The views filter events of widgets that outlive this destructor's body (the base class
    // deletes those): the views go now, while the window they reach into is still whole.
    lvLocalFiles->setModel(nullptr);
    lvRemote->setModel(nullptr);
    delete std::exchange(m_transferView, nullptr);
    delete std::exchange(m_remoteView, nullptr);
    delete std::exchange(m_localView, nullptr);
    delete std::exchange(m_sessionView, nullptr);
    delete std::exchange(m_scriptView, nullptr);
}

void TfrmMain::BuildMenus() {
    mnuFile = menuBar()->addMenu("File");
    mnuNewLogin = mnuFile->addAction("New Login");
    mnuConnect = mnuFile->addAction("Connect");
    mnuDisconnect = mnuFile->addAction("Disconnect");
    mnuFile->addSeparator();
    mnuExit = mnuFile->addAction("Exit");
    mnuOptions = menuBar()->addMenu("Options");
    mnuSettings = mnuOptions->addAction("Settings");
    mnuTools = menuBar()->addMenu("Tools");
    mnuSynchronise = mnuTools->addAction("Synchronise");
    mnuLogRetrieval = mnuTools->addAction("Log File Retrieval");
    mnuLogProcessing = mnuTools->addAction("Log File Processing");
    mnuLogReport = mnuTools->addAction("Web Traffic Report");
    mnuRunScript = mnuTools->addAction("Run Script");
    mnuHelp = menuBar()->addMenu("Help");
    mnuHelpHelp = mnuHelp->addAction("Help");
    mnuAbout = mnuHelp->addAction("About Vorlen FTP");

    connect(mnuNewLogin, &QAction::triggered, this, &TfrmMain::NewLoginClick);
    connect(mnuAbout, &QAction::triggered, this,
            [this] { QMessageBox::about(this, "About Vorlen FTP", AboutText()); });
    connect(mnuExit, &QAction::triggered, this, &TfrmMain::ExitActions);
    connect(mnuSettings, &QAction::triggered, this, &TfrmMain::OptionsClick);
    connect(mnuHelpHelp, &QAction::triggered, this, &TfrmMain::HelpClick);
    connect(mnuSynchronise, &QAction::triggered, this,
            [this] { m_core->synchroniser->SynchroniseClick(); });
    connect(mnuLogReport, &QAction::triggered, this, [this] {
        // Log processing writes the month's CSV into the local pane's folder.
        const QString path = QFileDialog::getOpenFileName(
            this, "Web Traffic Report", m_core->localPane->CurrentDir(), "CSV files (*.csv)");
        if (!path.isEmpty()) {
            ShowLogReport(path);
        }
    });
}

namespace {

// The filter box (wildcards as in scripts, case ignored) and the hidden-files toggle above a
// list; each pane's view sets the toggle to what it shows at first.
std::pair<QLineEdit*, QCheckBox*> AddFilterRow(QVBoxLayout* v, QWidget* pane, const QString& side) {
    auto* filter = new QLineEdit(pane);
    filter->setObjectName("edt" + side + "Filter");
    filter->setPlaceholderText("Filter (*.html, ind...)");
    filter->setClearButtonEnabled(true);
    filter->setToolTip("Shows only the names that contain this text, or match it with * and ?");
    auto* hidden = new QCheckBox("Hidden files", pane);
    hidden->setObjectName("chk" + side + "Hidden");
    hidden->setToolTip("Show names that begin with \".\"");
    auto* row = new QHBoxLayout;
    row->addWidget(filter, 1);
    row->addWidget(hidden);
    v->addLayout(row);
    return {filter, hidden};
}

}  // namespace

QWidget* TfrmMain::BuildLocalPane() {
    auto* pane = new QWidget(this);
    QVBoxLayout* v = PaneLayout(pane, "pnlLocal");
    cmbxLocalDir = MakeDirCombo("cmbxLocalDir", pane);
    v->addWidget(cmbxLocalDir);

    btnRefreshLocal = new TColorButton("Refresh", pane);
    btnBrowse = new TColorButton("Browse for Dir", pane);
    btnNewLocalDir = new TColorButton("Create new Dir", pane);
    v->addLayout(Row({btnRefreshLocal, btnBrowse, btnNewLocalDir}));

    std::tie(edtLocalFilter, chkLocalHidden) = AddFilterRow(v, pane, "Local");
    lvLocalFiles = new QTreeView(pane);
    ConfigureList(lvLocalFiles);
    lvLocalFiles->setObjectName("lvLocalFiles");
    v->addWidget(lvLocalFiles, 1);
    lblLocalFileInfo = new QLabel(pane);
    lblLocalFileInfo->setObjectName("lblLocalFileInfo");
    v->addWidget(lblLocalFileInfo);

    rgrpLocalSort = new RadioGroup("", {"name", "xtn", "size", "mod"}, Qt::Horizontal, pane);
    rgrpLocalSeq = new RadioGroup("", {"A", "D"}, Qt::Horizontal, pane);
    v->addLayout(Row({rgrpLocalSort, rgrpLocalSeq}));

    btnOpenLoc = new TColorButton("Open", pane);
    btnOpenAsText = new TColorButton("Open as text", pane);
    btnRenameLoc = new TColorButton("Rename", pane);
    btnDeleteLoc = new TColorButton("Delete", pane);
    v->addLayout(Row({btnOpenLoc, btnOpenAsText, btnRenameLoc, btnDeleteLoc}));
    btnDefLocal = new TColorButton("Set as default local directory for this site", pane);
    v->addLayout(Row({btnDefLocal}));

    pmnuLocal = new QMenu(this);
    pmnuLocal->addAction("Open", btnOpenLoc, &QPushButton::click);
    pmnuLocal->addAction("Open as text file", btnOpenAsText, &QPushButton::click);
    pmnuLocal->addAction("Upload", this, [this] { btnUpload->click(); });
    pmnuLocal->addAction("Rename", btnRenameLoc, &QPushButton::click);
    pmnuLocal->addAction("Delete", btnDeleteLoc, &QPushButton::click);
    AttachContextMenu(lvLocalFiles, pmnuLocal);
    lvLocalFiles->installEventFilter(this);
    pane->installEventFilter(this);
    return pane;
}

QWidget* TfrmMain::BuildRemotePane() {
    auto* pane = new QWidget(this);
    QVBoxLayout* v = PaneLayout(pane, "pnlRemote");
    cmbxRemDir = MakeDirCombo("cmbxRemDir", pane);
    v->addWidget(cmbxRemDir);

    btnRefreshRemote = new TColorButton("Refresh", pane);
    btnHome = new TColorButton("Home", pane);
    btnMkDir = new TColorButton("Create new Dir", pane);
    btnFavorite = new TColorButton("Favourite", pane);
    v->addLayout(Row({btnRefreshRemote, btnHome, btnMkDir, btnFavorite}));

    std::tie(edtRemoteFilter, chkRemoteHidden) = AddFilterRow(v, pane, "Remote");
    lvRemote = new QTreeView(pane);
    ConfigureList(lvRemote);
    lvRemote->setObjectName("lvRemote");
    v->addWidget(lvRemote, 1);
    lblRemFileInfo = new QLabel(pane);
    lblRemFileInfo->setObjectName("lblRemFileInfo");
    v->addWidget(lblRemFileInfo);

    rgrpRemoteSort =
        new RadioGroup("", {"name", "xtn", "perm", "size", "mod"}, Qt::Horizontal, pane);
    rgrpRemoteSeq = new RadioGroup("", {"A", "D"}, Qt::Horizontal, pane);
    v->addLayout(Row({rgrpRemoteSort, rgrpRemoteSeq}));

    btnChmodRem = new TColorButton("Chmod", pane);
    btnRenameRem = new TColorButton("Rename", pane);
    btnDeleteRem = new TColorButton("Delete", pane);
    v->addLayout(Row({btnChmodRem, btnRenameRem, btnDeleteRem}));
    btnDefRemote = new TColorButton("Set as default remote directory for this site", pane);
    v->addLayout(Row({btnDefRemote}));
    chkbxAutoRefresh = new QCheckBox("Auto refresh dir list after upload", pane);
    chkbxAutoRefresh->setObjectName("chkbxAutoRefresh");
    // Beside the remote options rather than in the middle column, which it would widen at
    // the expense of the file names.
    chkbxResumeIntXfer = new QCheckBox("Resume Interrupted Xfer", pane);
    chkbxResumeIntXfer->setObjectName("chkbxResumeIntXfer");
    v->addLayout(Row({chkbxAutoRefresh, chkbxResumeIntXfer}));

    pmnuRemote = new QMenu(this);
    pmnuRemote->addAction("Download", this, [this] { btnDownload->click(); });
    pmnuRemote->addAction("Edit\tF4", this, &TfrmMain::EditRemoteClick);
    pmnuRemote->addAction("Rename", btnRenameRem, &QPushButton::click);
    pmnuRemote->addAction("Chmod", btnChmodRem, &QPushButton::click);
    pmnuRemote->addAction("Delete", btnDeleteRem, &QPushButton::click);
    AttachContextMenu(lvRemote, pmnuRemote);
    lvRemote->installEventFilter(this);
    return pane;
}

QWidget* TfrmMain::BuildMiddleColumn() {
    auto* column = new QWidget(this);
    auto* v = new QVBoxLayout(column);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(6);

    btnConnect = new TColorButton("Connect", column);
    v->addWidget(btnConnect);
    auto* lights = new QWidget(column);
    lights->setObjectName("pnlLights");
    lights->setAutoFillBackground(true);
    QPalette dark = lights->palette();
    dark.setColor(QPalette::Window, QColor(40, 40, 48));
    lights->setPalette(dark);
    auto* lv = new QVBoxLayout(lights);
    lv->setContentsMargins(4, 3, 4, 3);
    const struct {
        QLabel** label;
        const char* text;
        QColor colour;
    } lightDefs[] = {{&lblGreenLight, "Connected", QColor(109, 250, 5)},
                     {&lblAmberLight, "    Auto reconnect", QColor(255, 166, 0)},
                     {&lblRedLight, "  Disconnected", QColor(255, 10, 10)}};
    for (const auto& def : lightDefs) {
        auto* label = new QLabel(def.text, lights);
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, def.colour);
        label->setPalette(pal);
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
        lv->addWidget(label);
        *def.label = label;
    }
    lblGreenLight->setObjectName("lblGreenLight");
    lblAmberLight->setObjectName("lblAmberLight");
    lblRedLight->setObjectName("lblRedLight");
    v->addWidget(lights);
    pmnuConnect = new QMenu(this);
    mnuConnect2 = pmnuConnect->addAction("Connect");
    mnuDisconnect2 = pmnuConnect->addAction("Disconnect");
    for (QWidget* w : {static_cast<QWidget*>(btnConnect), lights}) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(w, &QWidget::customContextMenuRequested, pmnuConnect,
                [this, w](const QPoint& p) { pmnuConnect->popup(w->mapToGlobal(p)); });
    }

    v->addSpacing(8);
    btnUpload = new TColorButton("==>", column);
    btnDownload = new TColorButton("<==", column);
    btnSync = new TColorButton("Sync", column);
    btnSync->setToolTip("Compare this folder with the remote one and send only what differs");
    connect(btnSync, &QPushButton::clicked, this, [this] { mnuSynchronise->trigger(); });
    v->addWidget(btnUpload);
    v->addWidget(btnDownload);
    v->addWidget(btnSync);
    rgrpTransferMode = new RadioGroup("Transfer", {"Auto", "Text", "Binary"}, Qt::Vertical, column);
    v->addWidget(rgrpTransferMode);
    chkbxLCUpload = new QCheckBox("Lowercase", column);
    v->addWidget(chkbxLCUpload);
    btnAbortTransfer = new TColorButton("Cancel ", column);
    btnAbortTransfer->hide();
    v->addWidget(btnAbortTransfer);
    v->addStretch(1);

    rgrpLink =
        new RadioGroup("Treat remote links as:", {"Directory", "File", "File if dot in name"},
                       Qt::Vertical, column);
    v->addWidget(rgrpLink);
    btnClose = new TColorButton("Exit", column);
    v->addWidget(btnClose);
    connect(btnClose, &QPushButton::clicked, this, &TfrmMain::btnCloseClick);
    return column;
}

QWidget* TfrmMain::BuildScriptPanel() {
    auto* panel = new QWidget(this);
    panel->setObjectName("pnlScript");
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(4, 2, 4, 2);
    lblScript = new QLabel(panel);
    lblScript->setObjectName("lblScript");
    QFont bold = lblScript->font();
    bold.setBold(true);
    lblScript->setFont(bold);
    grid->addWidget(lblScript, 0, 0, 1, 2);
    QLabel** labels[] = {&lblScript1, &lblScript2, &lblScript3, &lblScript4};
    for (int i = 0; i < 4; ++i) {
        *labels[i] = new QLabel(panel);
        (*labels[i])->setObjectName(QString("lblScript%1").arg(i + 1));
        grid->addWidget(*labels[i], 1 + i / 2, i % 2);
    }
    panel->hide();
    return panel;
}

void TfrmMain::WireSettingsControls() {
    // Settings are written only once the window has finished starting, so that loading them does
    // not write them back.
    auto site = [this]() -> SiteProfile& { return m_core->settings.site; };
    auto bindGroup = [this](RadioGroup* group, std::function<void(int)> store) {
        connect(group, &RadioGroup::itemIndexChanged, this, [this, store](int index) {
            if (m_created) {
                store(index);
            }
        });
    };
    bindGroup(rgrpLocalSort, [site](int i) { site().localSortIndex = i; });
    bindGroup(rgrpLocalSeq, [site](int i) { site().localSortAscInd = i; });
    bindGroup(rgrpRemoteSort, [site](int i) { site().remoteSortIndex = i; });
    bindGroup(rgrpRemoteSeq, [site](int i) { site().remoteSortAscInd = i; });
    bindGroup(rgrpTransferMode, [site](int i) { site().transferModeIndex = i; });
    bindGroup(rgrpLink, [site](int i) { site().unixLinkIndex = i; });
    connect(chkbxLCUpload, &QCheckBox::toggled, this, [this, site](bool on) {
        if (m_created) {
            site().lcUpload = on;
        }
    });
    connect(chkbxAutoRefresh, &QCheckBox::toggled, this, [this, site](bool on) {
        if (m_created) {
            site().autoRefresh = on;
        }
    });
}

void TfrmMain::ApplySettingsToControls() {
    const bool created = m_created;
    m_created = false;  // mirroring the settings must not write them back
    const SiteProfile& s = m_core->settings.site;
    rgrpLocalSort->SetItemIndex(s.localSortIndex);
    rgrpLocalSeq->SetItemIndex(s.localSortAscInd);
    rgrpRemoteSort->SetItemIndex(s.remoteSortIndex);
    rgrpRemoteSeq->SetItemIndex(s.remoteSortAscInd);
    rgrpTransferMode->SetItemIndex(s.transferModeIndex);
    rgrpLink->SetItemIndex(s.unixLinkIndex);
    chkbxLCUpload->setChecked(s.lcUpload);
    chkbxAutoRefresh->setChecked(s.autoRefresh);
    btnFavorite->setText(s.favRemDirCaption);
    m_created = created;
}

void TfrmMain::SiteSettingsChanged() {
    ApplySettingsToControls();
    SetFormColour();
}

QList<TColorButton*> TfrmMain::AllButtons() const {
    return {btnConnect,     btnClose,     btnAbortTransfer, btnUpload,       btnDownload,
            btnSync,        btnOpenLoc,   btnRenameLoc,     btnDeleteLoc,    btnOpenAsText,
            btnChmodRem,    btnRenameRem, btnDeleteRem,     btnRefreshLocal, btnBrowse,
            btnNewLocalDir, btnDefLocal,  btnRefreshRemote, btnHome,         btnMkDir,
            btnFavorite,    btnDefRemote};
}

QList<QWidget*> TfrmMain::BusyControls() const {
    QList<QWidget*> controls = {cmbxLocalDir, cmbxRemDir,         rgrpLocalSort,
                                rgrpLocalSeq, rgrpRemoteSort,     rgrpRemoteSeq,
                                lvLocalFiles, lvRemote,           rgrpTransferMode,
                                rgrpLink,     chkbxResumeIntXfer, chkbxAutoRefresh};
    for (TColorButton* b : AllButtons()) {
        if (b != btnAbortTransfer) {
            controls.append(b);
        }
    }
    return controls;
}

QList<QAction*> TfrmMain::BusyActions() const {
    return {mnuNewLogin,      mnuConnect,   mnuDisconnect,  mnuConnect2,
            mnuDisconnect2,   mnuSettings,  mnuSynchronise, mnuLogRetrieval,
            mnuLogProcessing, mnuRunScript, mnuHelpHelp,    mnuAbout};
}

void TfrmMain::DisableGridsEtc() {
    for (QWidget* w : {static_cast<QWidget*>(this), static_cast<QWidget*>(lvLocalFiles),
                       static_cast<QWidget*>(lvRemote)}) {
        w->setCursor(Qt::WaitCursor);
    }
    SetStatusPanel(StatusPanel::General, QString());
    ProcessMessages();
    for (QWidget* w : BusyControls()) {
        w->setEnabled(false);
    }
    for (QAction* a : BusyActions()) {
        a->setEnabled(false);
    }
    ProcessMessages();
}

void TfrmMain::EnableGridsEtc() {
    for (QWidget* w : {static_cast<QWidget*>(this), static_cast<QWidget*>(lvLocalFiles),
                       static_cast<QWidget*>(lvRemote)}) {
        w->unsetCursor();
    }
    if (StatusBarGeneralText().isEmpty()) {
        SetStatusPanel(StatusPanel::General, "Finished");
    }
    ProcessMessages();
    HideProgress();
    for (QWidget* w : BusyControls()) {
        w->setEnabled(true);
    }
    cmbxRemDir->setEnabled(m_light != ConnectionLight::Red);
    for (QAction* a : BusyActions()) {
        a->setEnabled(true);
    }
    ApplyLogsEnabled();
    HideAbortButton();
    ProcessMessages();
}

void TfrmMain::ApplyLogsEnabled() {
    const bool on = m_core->settings.common.logsEnabled;
    mnuLogRetrieval->setEnabled(on);
    mnuLogProcessing->setEnabled(on);
    mnuRunScript->setEnabled(on);
}

ModalResult TfrmMain::ColorMsgDlg(const QString& text, MsgDlgType type, MsgDlgButtons buttons) {
    return ShowMessageBox(
        this, MessageTitle(type), text, type, buttons,
        [this](const QSize& size) { return MessageBoxTopLeft(frameGeometry(), size); },
        [this](QWidget* box) { ApplyColoursTo(box); });
}

void TfrmMain::ShowColorMsg(const QString& text) {
    ColorMsgDlg(PadMessage(text), MsgDlgType::Information, MsgDlgBtn::OK);
}

bool TfrmMain::InputQuery(const QString& title, const QString& prompt, QString& value) {
    QInputDialog dialog(this);
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(value);
    FitWidthToTitle(&dialog);
    ApplyColoursTo(&dialog);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    value = dialog.textValue();
    return true;
}

PasswordAnswer TfrmMain::AskPassword(const QString& line1, const QString& line2) {
    TfrmAskPass dialog(*this, line1, line2);
    return dialog.Ask();
}

void TfrmMain::SetStatusPanel(StatusPanel panel, const QString& text) {
    m_panels[int(panel)]->setText(text);
}

QString TfrmMain::StatusPanelText(StatusPanel panel) const {
    return m_panels[int(panel)]->text();
}

void TfrmMain::LogText(const QString& text) {
    if (text.trimmed().isEmpty()) {
        return;
    }
    const QString line = QTime::currentTime().toString(platform::LongTimeFormat()) + " " + text;
    // The log follows new lines while it is scrolled to its end, and stays where the person
    // scrolled it otherwise. Decided here from the scroll bar: the edit's own rule asks whether
    // the last line lies wholly in view, which a view scrolled by whole lines may never reach
    // again once the person has scrolled it.
    QScrollBar* bar = memMsgs->verticalScrollBar();
    const bool follow = bar->value() >= bar->maximum();
    memMsgs->appendPlainText(line);
    if (follow) {
        bar->setValue(bar->maximum());
    }
    m_core->logFile.Append(line);
    if (m_core->run.unattended) {
        // A run from the command line also shows its log where it was started (cron, a shell).
        std::fputs((line + '\n').toLocal8Bit().constData(), stdout);
        std::fflush(stdout);
    }
}

void TfrmMain::ShowConnectCaption(const QString& caption) {
    btnConnect->setText(caption);
}

void TfrmMain::ShowLoginDialog() {
    m_login->ShowLogin();
}

bool TfrmMain::ResumeTicked() const {
    return chkbxResumeIntXfer->isChecked();
}

void TfrmMain::SetResumeTicked(bool ticked) {
    chkbxResumeIntXfer->setChecked(ticked);
}

void TfrmMain::SetResumeOptionVisible(bool visible) {
    chkbxResumeIntXfer->setVisible(visible);
}

void TfrmMain::ShowRemoteListingLook(const QString& column1, const QString& column2,
                                     bool mkDirVisible) {
    if (m_remoteView != nullptr) {  // none while the window is taken down
        m_remoteView->ShowListingLook(column1, column2, mkDirVisible);
    }
}

void TfrmMain::SetTransferModeIndex(int index) {
    rgrpTransferMode->SetItemIndex(index);
}

int TfrmMain::TransferModeIndex() const {
    return rgrpTransferMode->ItemIndex();
}

bool TfrmMain::AskAllocation(const QString& title, AllocationAttributes& attributes) {
    TfrmAllocZOS dialog(*this, attributes, this);
    dialog.setWindowTitle(title);
    dialog.exec();
    return attributes.accepted;
}

std::optional<std::array<bool, 9>> TfrmMain::AskPermissions(const QString& title,
                                                            const std::array<bool, 9>& initial) {
    TfrmChmod dialog(this);
    dialog.setWindowTitle(title);
    dialog.SetBoxes(initial);
    if (dialog.exec() != QDialog::Accepted || dialog.octal.isEmpty()) {
        return std::nullopt;
    }
    return dialog.Boxes();
}

ExistingFileAnswer TfrmMain::AskExistingFile(const ExistingFileQuery& query) {
    const auto describe = [](qint64 size, const QDateTime& time) {
        return GroupThousands(size) + " bytes" +
               (time.isValid() ? ", " + time.toString("yyyy-MM-dd HH:mm") : QString());
    };
    QMessageBox box(
        QMessageBox::Question, "File exists",
        query.name + " already exists " + (query.upload ? "on the server." : "in this folder."),
        QMessageBox::NoButton, this);
    box.setInformativeText((query.upload ? "This file: " : "On the server: ") +
                           describe(query.sourceSize, query.sourceTime) + "\n" +
                           (query.upload ? "On the server: " : "Here: ") +
                           describe(query.targetSize, query.targetTime));
    const std::pair<ExistingChoice, const char*> choices[] = {
        {ExistingChoice::Overwrite, "Overwrite"},
        {ExistingChoice::OverwriteIfNewer, "Overwrite if newer"},
        {ExistingChoice::Resume, "Resume"},
        {ExistingChoice::Skip, "Skip"},
        {ExistingChoice::Rename, "Rename"}};
    std::vector<std::pair<QAbstractButton*, ExistingChoice>> buttons;
    for (const auto& [choice, text] : choices) {
        if (choice == ExistingChoice::Resume && !query.canResume) {
            continue;  // only a smaller target can be continued
        }
        buttons.emplace_back(box.addButton(text, QMessageBox::AcceptRole), choice);
    }
    box.setEscapeButton(buttons[buttons.size() - 2].first);  // Skip: nothing is lost
    auto* all = new QCheckBox("Apply to all in this batch", &box);
    box.setCheckBox(all);
    ApplyColoursTo(&box);
    box.exec();
    ExistingFileAnswer answer{ExistingChoice::Skip, all->isChecked()};
    for (const auto& [button, choice] : buttons) {
        if (box.clickedButton() == button) {
            answer.choice = choice;
        }
    }
    return answer;
}

SyncAnswer TfrmMain::AskSynchronise(const SyncQuestion& question) {
    TfrmSynchronise dialog(this);
    ApplyColoursTo(&dialog);
    PlaceCentred(dialog);
    return dialog.Ask(question);
}

EditedUpload TfrmMain::AskUploadEdited(const QString& name) {
    QMessageBox box(QMessageBox::Question, "Edited file saved",
                    "Upload the changed file " + name + " to the server?",
                    QMessageBox::Yes | QMessageBox::No, this);
    auto* always = new QCheckBox("Always for this file", &box);
    box.setCheckBox(always);
    box.setDefaultButton(QMessageBox::Yes);
    ApplyColoursTo(&box);
    if (box.exec() != QMessageBox::Yes) {
        return EditedUpload::Keep;
    }
    return always->isChecked() ? EditedUpload::Always : EditedUpload::Upload;
}

void TfrmMain::RefreshRemoteDirBox() {
    if (m_remoteView != nullptr) {
        m_remoteView->RefreshDirBox();
    }
}

void TfrmMain::RefreshRemoteList() {
    if (m_remoteView != nullptr) {
        m_remoteView->Refresh();
    }
}

void TfrmMain::SetConnectionLight(ConnectionLight light) {
    m_light = light;
    lblGreenLight->setVisible(light == ConnectionLight::Green);
    lblAmberLight->setVisible(light == ConnectionLight::Amber);
    lblRedLight->setVisible(light == ConnectionLight::Red);
}

void TfrmMain::SetProgress(int percent) {
    progTransfer->setValue(std::clamp(percent, 0, 100));
    progTransfer->show();
}

void TfrmMain::HideProgress() {
    progTransfer->setValue(0);
    progTransfer->hide();
}

void TfrmMain::ShowAbortButton(const QString& caption) {
    btnAbortTransfer->setText(caption.isEmpty() ? QStringLiteral("Cancel ") : caption);
    btnAbortTransfer->setEnabled(true);
    btnAbortTransfer->show();
}

void TfrmMain::HideAbortButton() {
    btnAbortTransfer->hide();
}

void TfrmMain::SetCaption(const QString& caption) {
    setWindowTitle(caption);
}

void TfrmMain::ProcessMessages() {
    QCoreApplication::processEvents();
}

ColourTheme TfrmMain::CurrentTheme() const {
    return ThemeFromTitleBar(TitleBarColourText());
}

QString TfrmMain::CurrentColourText() const {
    return ThemeColour(m_core->settings.ColoursInForce(), CurrentTheme());
}

void TfrmMain::SetFormColour() {
    const QString rgb = CurrentColourText();
    const int value = WindowColourValue(rgb);
    m_windowColour = QColor(value & 0xff, (value >> 8) & 0xff, (value >> 16) & 0xff);
    ApplyColoursTo(this);
    if (m_login != nullptr) {
        ApplyColoursTo(m_login);
    }
}

void TfrmMain::ApplyColoursTo(QWidget* widget) const {
    if (!m_windowColour.isValid()) {
        return;
    }
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Window, m_windowColour);
    widget->setPalette(pal);
    widget->setAutoFillBackground(true);
    const QString rgb = CurrentColourText();
    const QColor back = ToColor(ButtonColour(rgb));
    const QColor hover = ToColor(HoverColour(rgb));
    for (TColorButton* button : widget->findChildren<TColorButton*>()) {
        button->SetColours(back, hover);
    }
}

void TfrmMain::SetDefaultColumnWidths() {
    // Wide enough for a whole "YYYY-MM-DD   HH:MM:SS" and a size in the millions; the name
    // columns take what a pane has left at 1024 x 700 (with room for a vertical scroll bar),
    // so neither list starts scrolled.
    const QFontMetrics cells(lvLocalFiles->font());
    const QFontMetrics heads(lvLocalFiles->header()->font());
    const int headPad = 2 * style()->pixelMetric(QStyle::PM_HeaderMargin) + 2;
    auto fit = [&](const QString& sample, const QString& caption) {
        return std::max(cells.horizontalAdvance(sample) + kCellPad,
                        heads.horizontalAdvance(caption) + headPad);
    };
    const int modified = fit("0000-00-00   00:00:00", "Modified");
    const int size = fit("000,000,000", "Size");  // wider sizes widen it when listed
    const int permissions = fit("drwxr-xr-x", "Permissions");
    WindowMetrics& w = m_core->settings.window;
    w.locWidths[0] = std::max(120, kDefaultListWidth - size - modified);
    w.locWidths[1] = size;
    w.locWidths[2] = modified;
    w.remWidths[0] = std::max(70, kDefaultListWidth - permissions - size - modified);
    w.remWidths[1] = permissions;
    w.remWidths[2] = size;
    w.remWidths[3] = modified;
}

void TfrmMain::FitFrameToScreen() {
    if (screen() == nullptr || isMaximized() || isFullScreen()) {
        return;
    }
    const QRect client = geometry();
    const QRect outer = frameGeometry();
    QMargins frame(client.left() - outer.left(), client.top() - outer.top(),
                   outer.right() - client.right(), outer.bottom() - client.bottom());
    if (frame.isNull()) {
        // Not decorated yet: reserve a usual title bar and border.
        const int border = 4;
        frame = QMargins(border, style()->pixelMetric(QStyle::PM_TitleBarHeight) + border, border,
                         border);
    }
    const QRect fitted = FitFrameInto(client, frame, screen()->availableGeometry(),
                                      minimumSizeHint().boundedTo(QSize(640, 480)));
    if (fitted != client) {
        setGeometry(fitted);
    }
}

void TfrmMain::ResizeActions() {
    const DefaultDirButtons captions = DefaultDirCaptions(pnlLocal->width());
    btnDefLocal->setText(captions.localCaption);
    btnDefRemote->setText(captions.remoteCaption);
    btnDefLocal->setMinimumWidth(captions.width);
    btnDefRemote->setMinimumWidth(captions.width);
}

void TfrmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_core->firstActivation) {
        QTimer::singleShot(0, this, &TfrmMain::FormActivate);
    }
}

void TfrmMain::FormActivate() {
    AppCore& core = *m_core;
    if (!core.firstActivation) {
        return;
    }
    core.firstActivation = false;
    SetFormColour();
    if (core.run.startupScript.isEmpty()) {
        ResizeActions();
        ProcessMessages();
    }
    // The window manager's frame is known once shown: the saved place (a frame position) is
    // taken again then, and the frame fitted (again a little later, for window managers that
    // decorate after mapping).
    if (m_savedPlace && !isMaximized()) {
        move(*m_savedPlace);
    }
    FitFrameToScreen();
    QTimer::singleShot(300, this, &TfrmMain::FitFrameToScreen);
    SyncWindowMetrics();
    if (!core.Start()) {
        close();
        return;
    }
    ProcessMessages();
    activateWindow();
    ProcessMessages();
}

void TfrmMain::EditRemoteClick() {
    if (lvRemote->isEnabled()) {
        m_core->remoteEdits->Edit(m_transferView->SelectedRemoteRows());
    }
}

void TfrmMain::ExitActions() {
    if (!m_core->remoteEdits->ConfirmClose()) {
        return;
    }
    m_editsAsked = true;
    SyncWindowMetrics();
    m_core->Stop();
    close();
}

void TfrmMain::btnCloseClick() {
    m_core->KeepListing();
    ExitActions();
}

void TfrmMain::NewLoginClick() {
    if (!m_core->NewLoginActions()) {
        close();
    }
}

QString TfrmMain::AboutText() {
    return "Vorlen FTP version " + AppCore::GetVersionNumber() +
           "\n\nTransfers files to and from your web site over FTP and SFTP, runs transfer "
           "scripts unattended, keeps your procmail recipe and turns your web logs into CSV."
           "\n\nCopyright 2026 The Vorlen FTP developers.";
}

void TfrmMain::OptionsClick() {
    TfrmOptions dialog(*this);
    dialog.exec();
}

void TfrmMain::HelpClick() {
    m_help->ShowTopics();
}

void TfrmMain::ShowHelpTopic(const QString& topic) {
    m_help->ShowTopic(topic);
}

void TfrmMain::SyncWindowMetrics() {
    if (!m_created) {
        return;
    }
    WindowMetrics& w = m_core->settings.window;
    w.maximised = isMaximized();
    if (!w.maximised) {
        w.top = y();
        w.left = x();
        w.height = height();
        w.width = width();
        for (int c = 0; c < 3; ++c) {
            w.locWidths[c] = lvLocalFiles->columnWidth(c);
        }
        for (int c = 0; c < 4; ++c) {
            w.remWidths[c] = lvRemote->columnWidth(c);
        }
    }
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    SyncWindowMetrics();
}

void TfrmMain::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    SyncWindowMetrics();
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pnlLocal && event->type() == QEvent::Resize) {
        ResizeActions();
    } else if (event->type() == QEvent::KeyPress &&
               (watched == lvLocalFiles || watched == lvRemote)) {
        if (ListKey(static_cast<QTreeView*>(watched), *static_cast<QKeyEvent*>(event))) {
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TfrmMain::ListKey(QTreeView* list, const QKeyEvent& event) {
    // Shift+Delete, Alt+Enter and the like are not these commands.
    if (event.modifiers() & ~Qt::KeypadModifier) {
        return false;
    }
    const int key = event.key();
    const bool local = list == lvLocalFiles;
    // The buttons' own rules (enabled state, questions) apply to their keys as to a click.
    auto press = [](TColorButton* button) {
        if (button->isEnabled()) {
            button->click();
        }
        return true;
    };
    switch (key) {
        case Qt::Key_Delete:
            return press(local ? btnDeleteLoc : btnDeleteRem);
        case Qt::Key_F2:
            return press(local ? btnRenameLoc : btnRenameRem);
        case Qt::Key_F5:
            return press(local ? btnRefreshLocal : btnRefreshRemote);
        case Qt::Key_F4:
            if (!local) {
                EditRemoteClick();
            }
            return !local;
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            // What a double click on the current row does: into a folder, or the file's action.
            const QModelIndex current = list->currentIndex();
            if (current.isValid()) {
                emit list->doubleClicked(current.siblingAtColumn(0));
            }
            return true;
        }
        case Qt::Key_Backspace: {
            // Up one level, through the list's ".." row.
            QAbstractItemModel* model = list->model();
            for (int row = 0; model != nullptr && row < model->rowCount(); ++row) {
                const QModelIndex index = model->index(row, 0);
                if (index.data().toString() == "..") {
                    emit list->doubleClicked(index);
                    break;
                }
            }
            return true;
        }
        default:
            return false;  // Ctrl+A and the arrows are the list's own
    }
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    SyncWindowMetrics();
    if (m_core->run.scriptRunning) {
        // The script is somewhere down the call stack: it stops first, then the window closes
        // (closing now would end the event loops it waits in).
        m_core->RequestStopScript();
        m_core->store.UpdateSettings();
        m_closeAfterScript = true;
        hide();
        event->ignore();
        return;
    }
    if (!std::exchange(m_editsAsked, false) && !m_core->remoteEdits->ConfirmClose()) {
        event->ignore();
        return;
    }
    m_core->store.UpdateSettings();
    event->accept();
}

void TfrmMain::PlaceCentred(QWidget& dialog) const {
    ApplyColoursTo(&dialog);
    dialog.adjustSize();
    dialog.move(frameGeometry().center() - QPoint(dialog.width() / 2, dialog.height() / 2));
}

bool TfrmMain::AskAboutLogs(LogOptions& options) {
    TfrmAskAboutLogs dialog(*this, this);
    PlaceCentred(dialog);
    return dialog.Ask(options);
}

void TfrmMain::ShowLogReport(const QString& csvPath) {
    // Owned by the window but deleted when closed, so no pointer to it is kept.
    auto* report = new TfrmLogReport(csvPath, this, this);
    report->setAttribute(Qt::WA_DeleteOnClose);
    ApplyColoursTo(report);
    report->show();
    report->raise();
    report->activateWindow();
}

ProcmailAnswer TfrmMain::AskProcmail(const ProcmailQuery& query) {
    TfrmAskProcmail dialog(this);
    PlaceCentred(dialog);
    return dialog.Ask(query);
}

QString TfrmMain::AskScriptFileName(const QString& initial) {
    TfrmSelectScript dialog(this);
    PlaceCentred(dialog);
    return dialog.Ask(initial);
}

void TfrmMain::ShowScriptView(bool on) {
    if (m_scriptView != nullptr) {
        m_scriptView->Show(on);
    }
    if (!on && m_closeAfterScript) {
        CloseMainWindow();
    }
}

void TfrmMain::SetScriptLabel(int index, const QString& text) {
    QLabel* labels[] = {lblScript, lblScript1, lblScript2, lblScript3, lblScript4};
    if (index >= 0 && index < 5) {
        labels[index]->setText(text);
    }
}

void TfrmMain::ClearLog() {
    memMsgs->clear();
}

void TfrmMain::CloseMainWindow() {
    QTimer::singleShot(0, this, &QWidget::close);
}

void TfrmMain::RefreshLocalList() {
    if (m_localView != nullptr) {
        m_localView->Refresh();
    }
}

QStringList TfrmMain::SelectedLocalNames() const {
    return m_localView != nullptr ? m_localView->SelectedNames() : QStringList();
}
