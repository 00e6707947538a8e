#include "ui/local_pane_view.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTreeView>
#include <QUrl>

#include "config/settings.h"
#include "panes/local_pane.h"
#include "runtime/user_interface.h"
#include "ui/list_filter.h"
#include "ui/local_files_model.h"
#include "ui/radio_group.h"

LocalPaneView::LocalPaneView(QWidget* window, const Controls& controls, LocalPane& pane,
                             const Settings& settings, UserInterface& ui,
                             std::function<bool()> created)
    : QObject(window),
      m_window(window),
      m_c(controls),
      m_pane(pane),
      m_settings(settings),
      m_ui(ui),
      m_created(std::move(created)),
      m_model(new LocalFilesModel(pane, this)) {
    // Hidden entries are the pane's to list: its folder listing leaves them out as described
    // until the toggle asks for them.
    m_filter = new ListFilter(m_c.list, m_model, m_c.filter, nullptr, this);
    m_c.showHidden->setChecked(pane.showHidden);
    connect(m_c.showHidden, &QAbstractButton::toggled, this, [&pane](bool on) {
        pane.showHidden = on;
        pane.RefreshLocal();
    });
    connect(m_filter, &ListFilter::changed, this,
            [this] { m_c.summary->setText(m_filter->Summary(m_pane.SummaryText())); });
    // Where xdg-open is missing or fails, the desktop services may still know a program.
    pane.openWithDesktop = [](const QString& path) {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    };
    Wire();
}

void LocalPaneView::Wire() {
    const Controls& m = m_c;
    LocalPane& pane = m_pane;
    connect(m.refresh, &QAbstractButton::clicked, this, [&pane] { pane.RefreshClick(); });
    connect(m.newDir, &QAbstractButton::clicked, this, [&pane] { pane.CreateNewDir(); });
    connect(m.setDefault, &QAbstractButton::clicked, this,
            [this, &pane] { pane.SetAsDefaultLocalDir(m_settings.site.siteName); });
    connect(m.open, &QAbstractButton::clicked, this,
            [this, &pane] { pane.OpenSelected(SelectedNames()); });
    connect(m.openAsText, &QAbstractButton::clicked, this,
            [this, &pane] { pane.OpenAsText(SelectedNames()); });
    connect(m.rename, &QAbstractButton::clicked, this,
            [this, &pane] { pane.RenameSelected(SelectedNames()); });
    connect(m.remove, &QAbstractButton::clicked, this,
            [this, &pane] { pane.DeleteSelected(SelectedNames()); });
    connect(m.browse, &QAbstractButton::clicked, this, [this, &pane] {
        m_ui.StatusBarGeneral(QString());
        QFileDialog dialog(m_window, "Browse For Folder", pane.CurrentDir());
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        dialog.setOption(QFileDialog::DontUseNativeDialog);  // offers "Show hidden files"
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
            pane.BrowseResult(dialog.selectedFiles().first());
        }
    });
    connect(m.list, &QAbstractItemView::doubleClicked, this,
            [this, &pane](const QModelIndex& index) {
                const LocalRow row = pane.Row(SourceRow(m_c.list, index));
                if (row.kind == LocalRow::Kind::File) {
                    pane.OpenSelected({row.name});
                } else {
                    pane.ChangeLocalDirectory(row.name);
                }
            });
    connect(m.list->header(), &QHeaderView::sectionClicked, this, [this, &pane](int c) {
        pane.ColumnClick(c);
        MirrorSort();
    });
    for (RadioGroup* group : {m.sortKey, m.sortOrder}) {
        connect(group, &RadioGroup::itemIndexChanged, this, [this, &pane] {
            if (m_created() && !m_mirroring) {
                pane.SortLocal();
            }
        });
    }
    // Typing a directory and pressing Enter, or choosing a line from the drop-down. No
    // completer: inline completion would turn a typed folder into a remembered sub-folder of it.
    QComboBox* box = m.dirBox;
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
    connect(box->lineEdit(), &QLineEdit::returnPressed, this, [box, &pane] {
        if (!pane.SelectDirectory(box->currentText())) {
            box->setEditText(pane.CurrentDir());
        }
    });
    connect(box, qOverload<int>(&QComboBox::activated), this, [box, &pane](int index) {
        if (!pane.SelectDirectory(box->itemText(index))) {
            box->setEditText(pane.CurrentDir());
        }
    });
}

void LocalPaneView::MirrorSort() {
    m_mirroring = true;  // the pane has stored the choice already
    const SiteProfile& site = m_settings.site;
    m_c.sortKey->SetItemIndex(site.localSortIndex);
    m_c.sortOrder->SetItemIndex(site.localSortAscInd);
    // The heading shows the key when it has a column (extension has none).
    static const int kKeyColumns[] = {0, -1, 1, 2};
    m_c.list->header()->setSortIndicator(
        kKeyColumns[std::clamp(site.localSortIndex, 0, 3)],
        site.localSortAscInd == 1 ? Qt::DescendingOrder : Qt::AscendingOrder);
    m_mirroring = false;
}

void LocalPaneView::Refresh() {
    m_model->Reload();
    m_c.summary->setText(m_filter->Summary(m_pane.SummaryText()));
    const QSignalBlocker block(m_c.dirBox);
    m_c.dirBox->clear();
    m_c.dirBox->addItems(m_pane.RememberedDirs());
    m_c.dirBox->setEditText(m_pane.CurrentDir());
    MirrorSort();
}

QStringList LocalPaneView::SelectedNames() const {
    QStringList names;
    for (int row : SelectedSourceRows(m_c.list)) {
        const LocalRow r = m_pane.Row(row);
        if (r.kind != LocalRow::Kind::Parent) {
            names.append(r.name);
        }
    }
    return names;
}
