#include "ui/remote_pane_view.h"

#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>

#include "app/app_core.h"
#include "panes/remote_pane.h"
#include "session/session.h"
#include "ui/frm_main.h"
#include "ui/remote_files_model.h"

RemotePaneView::RemotePaneView(TfrmMain& main, RemotePane& pane)
    : QObject(&main),
      m_main(main),
      m_pane(pane),
      m_model(new RemoteFilesModel([&pane]() -> const RemoteListing& { return pane.listing; },
                                   [&pane] { return pane.Descending(); }, this)) {
    main.lvRemote->setModel(m_model);
    Wire();
}

void RemotePaneView::Wire() {
    TfrmMain& m = m_main;
    RemotePane& pane = m_pane;
    connect(m.btnRefreshRemote, &QPushButton::clicked, this, [&m, &pane] {
        pane.AddRemDirToCmbx(m.Core().session->currentRemoteDir, false);
        pane.RefreshRemote();
    });
    connect(m.btnHome, &QPushButton::clicked, this, [&pane] { pane.btnHomeClick(); });
    connect(m.btnFavorite, &QPushButton::clicked, this, [&pane] { pane.btnFavoriteClick(); });
    connect(m.lvRemote, &QAbstractItemView::doubleClicked, this,
            [&pane](const QModelIndex& index) { pane.lvRemoteDblClick(index.row()); });
    connect(m.lvRemote->header(), &QHeaderView::sectionClicked, this, [this, &pane](int column) {
        pane.ColumnClick(column);
        MirrorSort();
    });
    for (RadioGroup* group : {m.rgrpRemoteSort, m.rgrpRemoteSeq}) {
        connect(group, &RadioGroup::itemIndexChanged, this, [this, &m, &pane] {
            if (m.Created() && !m_mirroring) {
                pane.SetSort(m.rgrpRemoteSort->ItemIndex(), m.rgrpRemoteSeq->ItemIndex());
            }
        });
    }
    // Enter goes to exactly what was typed; a choice from the list goes there at once; typing
    // alone goes nowhere until Enter or leaving the box.
    QComboBox* box = m.cmbxRemDir;
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
    box->lineEdit()->installEventFilter(this);
    box->installEventFilter(this);
    // Typing (not arrow keys or choosing) is what makes leaving the box a change of directory.
    connect(box->lineEdit(), &QLineEdit::textEdited, this, [this] { m_typing = true; });
    connect(box, qOverload<int>(&QComboBox::activated), this, [this, box, &pane](int index) {
        m_typing = false;
        pane.ChgDirToCmbxBoxName(box->itemText(index));
    });
}

bool RemotePaneView::eventFilter(QObject* watched, QEvent* event) {
    QComboBox* box = m_main.cmbxRemDir;
    // The keyboard reaches the combo box, which hands keys to its line edit without passing
    // them through the line edit's filters: Enter is watched on both.
    if ((watched == box || watched == box->lineEdit()) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_typing = false;
            m_main.StatusBarGeneral(QString());
            m_pane.ChgDirToCmbxBoxName(box->currentText());
            return true;  // swallowed
        }
    } else if ((watched == box || watched == box->lineEdit()) &&
               event->type() == QEvent::FocusOut && !box->view()->isVisible()) {
        // Leaving the box for another control goes where was typed; another window or a
        // pop-up taking the focus for a moment does not.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (m_typing && !m_pane.paneBusy && reason != Qt::ActiveWindowFocusReason &&
            reason != Qt::PopupFocusReason) {
            m_typing = false;
            m_pane.ChgDirToCmbxBoxName(box->currentText());
        }
    }
    return QObject::eventFilter(watched, event);
}

void RemotePaneView::MirrorSort() {
    m_mirroring = true;  // the pane has stored the choice already
    const SiteProfile& site = m_main.Core().settings.site;
    m_main.rgrpRemoteSort->SetItemIndex(site.remoteSortIndex);
    m_main.rgrpRemoteSeq->SetItemIndex(site.remoteSortAscInd);
    // Keys name, xtn, perm, size, mod; the extension has no column of its own.
    static const int kKeyColumns[] = {0, -1, 1, 2, 3};
    m_main.lvRemote->header()->setSortIndicator(
        kKeyColumns[std::clamp(site.remoteSortIndex, 0, 4)],
        site.remoteSortAscInd == 1 ? Qt::DescendingOrder : Qt::AscendingOrder);
    m_mirroring = false;
}

void RemotePaneView::Refresh() {
    m_model->Reload();
    m_main.lblRemFileInfo->setText(m_pane.SummaryText());
    RefreshDirBox();
    MirrorSort();
}

void RemotePaneView::RefreshDirBox() {
    QComboBox* box = m_main.cmbxRemDir;
    const QSignalBlocker block(box);
    box->clear();
    box->addItems(m_pane.RememberedDirs());
    box->setEditText(m_main.Core().session->currentRemoteDir);
}

void RemotePaneView::ShowListingLook(const QString& column1, const QString& column2,
                                     bool mkDirVisible) {
    m_model->SetCaptions(column1, column2);
    m_main.btnMkDir->setVisible(mkDirVisible);
}

QStringList RemotePaneView::SelectedNames() const {
    QList<int> rows;
    for (const QModelIndex& index : m_main.lvRemote->selectionModel()->selectedRows()) {
        rows.append(index.row());
    }
    std::sort(rows.begin(), rows.end());
    QStringList names;
    for (int row : rows) {
        const RemoteRow r = m_pane.Row(row);
        if (r.kind != RemoteRow::Kind::Parent && r.entry != nullptr) {
            names.append(r.entry->name);
        }
    }
    return names;
}
