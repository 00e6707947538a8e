#include "ui/local_pane_view.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QUrl>

#include "panes/local_pane.h"
#include "ui/frm_main.h"
#include "ui/local_files_model.h"

LocalPaneView::LocalPaneView(TfrmMain& main, LocalPane& pane)
    : QObject(&main), m_main(main), m_pane(pane), m_model(new LocalFilesModel(pane, this)) {
    main.lvLocalFiles->setModel(m_model);
    // Where xdg-open is missing or fails, the desktop services may still know a program.
    pane.openWithDesktop = [](const QString& path) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    };
    Wire();
}

void LocalPaneView::Wire() {
    TfrmMain& m = m_main;
    LocalPane& pane = m_pane;
    connect(m.btnRefreshLocal, &QPushButton::clicked, this, [&pane] { pane.RefreshClick(); });
    connect(m.btnNewLocalDir, &QPushButton::clicked, this, [&pane] { pane.CreateNewDir(); });
    connect(m.btnDefLocal, &QPushButton::clicked, this,
            [&m, &pane] { pane.SetAsDefaultLocalDir(m.Core().settings.site.siteName); });
    connect(m.btnOpenLoc, &QPushButton::clicked, this,
            [this, &pane] { pane.OpenSelected(SelectedNames()); });
    connect(m.btnOpenAsText, &QPushButton::clicked, this,
            [this, &pane] { pane.OpenAsText(SelectedNames()); });
    connect(m.btnRenameLoc, &QPushButton::clicked, this,
            [this, &pane] { pane.RenameSelected(SelectedNames()); });
    connect(m.btnDeleteLoc, &QPushButton::clicked, this,
            [this, &pane] { pane.DeleteSelected(SelectedNames()); });
    connect(m.btnBrowse, &QPushButton::clicked, this, [&m, &pane] {
        m.StatusBarGeneral(QString());
        QFileDialog dialog(&m, "Browse For Folder", pane.CurrentDir());
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        dialog.setOption(QFileDialog::DontUseNativeDialog);  // offers "Show hidden files"
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
            pane.BrowseResult(dialog.selectedFiles().first());
        }
    });
    connect(m.lvLocalFiles, &QAbstractItemView::doubleClicked, this,
            [&pane](const QModelIndex& index) {
                const LocalRow row = pane.Row(index.row());
                if (row.kind == LocalRow::Kind::File) {
                    pane.OpenSelected({row.name});
                } else {
                    pane.ChangeLocalDirectory(row.name);
                }
            });
    connect(m.lvLocalFiles->header(), &QHeaderView::sectionClicked, this, [this, &pane](int c) {
        pane.ColumnClick(c);
        MirrorSort();
    });
    for (RadioGroup* group : {m.rgrpLocalSort, m.rgrpLocalSeq}) {
        connect(group, &RadioGroup::itemIndexChanged, this, [this, &m, &pane] {
            if (m.Created() && !m_mirroring) {
                pane.SortLocal();
            }
        });
    }
    // Typing a directory and pressing Enter, or choosing a line from the drop-down. No
    // completer: inline completion would turn a typed folder into a remembered sub-folder of it.
    m.cmbxLocalDir->setInsertPolicy(QComboBox::NoInsert);
    m.cmbxLocalDir->setCompleter(nullptr);
    connect(m.cmbxLocalDir->lineEdit(), &QLineEdit::returnPressed, this, [&m, &pane] {
        if (!pane.SelectDirectory(m.cmbxLocalDir->currentText())) {
            m.cmbxLocalDir->setEditText(pane.CurrentDir());
        }
    });
    connect(m.cmbxLocalDir, qOverload<int>(&QComboBox::activated), this, [&m, &pane](int index) {
        if (!pane.SelectDirectory(m.cmbxLocalDir->itemText(index))) {
            m.cmbxLocalDir->setEditText(pane.CurrentDir());
        }
    });
}

void LocalPaneView::MirrorSort() {
    m_mirroring = true;  // the pane has stored the choice already
    const SiteProfile& site = m_main.Core().settings.site;
    m_main.rgrpLocalSort->SetItemIndex(site.localSortIndex);
    m_main.rgrpLocalSeq->SetItemIndex(site.localSortAscInd);
    // The heading shows the key when it has a column (extension has none).
    static const int kKeyColumns[] = {0, -1, 1, 2};
    m_main.lvLocalFiles->header()->setSortIndicator(
        kKeyColumns[std::clamp(site.localSortIndex, 0, 3)],
        site.localSortAscInd == 1 ? Qt::DescendingOrder : Qt::AscendingOrder);
    m_mirroring = false;
}

void LocalPaneView::Refresh() {
    m_model->Reload();
    m_main.lblLocalFileInfo->setText(m_pane.SummaryText());
    const QSignalBlocker block(m_main.cmbxLocalDir);
    m_main.cmbxLocalDir->clear();
    m_main.cmbxLocalDir->addItems(m_pane.RememberedDirs());
    m_main.cmbxLocalDir->setEditText(m_pane.CurrentDir());
    MirrorSort();
}

QStringList LocalPaneView::SelectedNames() const {
    QList<int> rows;
    for (const QModelIndex& index : m_main.lvLocalFiles->selectionModel()->selectedRows()) {
        rows.append(index.row());
    }
    std::sort(rows.begin(), rows.end());
    QStringList names;
    for (int row : rows) {
        const LocalRow r = m_pane.Row(row);
        if (r.kind != LocalRow::Kind::Parent) {
            names.append(r.name);
        }
    }
    return names;
}
