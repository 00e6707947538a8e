#include "ui/remote_pane_view.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTreeView>

#include "config/settings.h"
#include "panes/remote_pane.h"
#include "runtime/user_interface.h"
#include "session/session.h"
#include "ui/list_filter.h"
#include "ui/radio_group.h"
#include "ui/remote_files_model.h"

RemotePaneView::RemotePaneView(QObject* parent, const Controls& controls, RemotePane& pane,
                               const Session& session, const Settings& settings, UserInterface& ui,
                               std::function<bool()> created)
    : QObject(parent),
      m_c(controls),
      m_pane(pane),
      m_session(session),
      m_settings(settings),
      m_ui(ui),
      m_created(std::move(created)),
      m_model(new RemoteFilesModel([&pane]() -> const RemoteListing& { return pane.listing; },
                                   [&pane] { return pane.Descending(); }, this)) {
    m_c.showHidden->setChecked(true);  // the server's listing shows them, as described
    m_filter = new ListFilter(m_c.list, m_model, m_c.filter, m_c.showHidden, this);
    connect(m_filter, &ListFilter::changed, this,
            [this] { m_c.summary->setText(m_filter->Summary(m_pane.SummaryText())); });
    Wire();
}

void RemotePaneView::Wire() {
    const Controls& m = m_c;
    RemotePane& pane = m_pane;
    connect(m.refresh, &QAbstractButton::clicked, this, [this, &pane] {
        pane.AddRemDirToCmbx(m_session.currentRemoteDir, false);
        pane.RefreshRemote();
    });
    connect(m.home, &QAbstractButton::clicked, this, [&pane] { pane.btnHomeClick(); });
    connect(m.favourite, &QAbstractButton::clicked, this, [&pane] { pane.btnFavoriteClick(); });
    connect(m.list, &QAbstractItemView::doubleClicked, this,
            [this, &pane](const QModelIndex& index) {
                pane.lvRemoteDblClick(SourceRow(m_c.list, index));
            });
    connect(m.list->header(), &QHeaderView::sectionClicked, this, [this, &pane](int column) {
        pane.ColumnClick(column);
        MirrorSort();
    });
    for (RadioGroup* group : {m.sortKey, m.sortOrder}) {
        connect(group, &RadioGroup::itemIndexChanged, this, [this, &pane] {
            if (m_created() && !m_mirroring) {
                pane.SetSort(m_c.sortKey->ItemIndex(), m_c.sortOrder->ItemIndex());
            }
        });
    }
    // Enter goes to exactly what was typed; a choice from the list goes there at once; typing
    // alone goes nowhere until Enter or leaving the box.
    QComboBox* box = m.dirBox;
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
    QComboBox* box = m_c.dirBox;
    // The keyboard reaches the combo box, which hands keys to its line edit without passing
    // them through the line edit's filters: Enter is watched on both.
    if ((watched == box || watched == box->lineEdit()) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_typing = false;
            m_ui.StatusBarGeneral(QString());
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
    const SiteProfile& site = m_settings.site;
    m_c.sortKey->SetItemIndex(site.remoteSortIndex);
    m_c.sortOrder->SetItemIndex(site.remoteSortAscInd);
    // Keys name, xtn, perm, size, mod; the extension has no column of its own.
    static const int kKeyColumns[] = {0, -1, 1, 2, 3};
    m_c.list->header()->setSortIndicator(
        kKeyColumns[std::clamp(site.remoteSortIndex, 0, 4)],
        site.remoteSortAscInd == 1 ? Qt::DescendingOrder : Qt::AscendingOrder);
    m_mirroring = false;
}

void RemotePaneView::Refresh() {
    m_model->Reload();
    m_c.summary->setText(m_filter->Summary(m_pane.SummaryText()));
    RefreshDirBox();
    MirrorSort();
}

void RemotePaneView::RefreshDirBox() {
    QComboBox* box = m_c.dirBox;
    const QSignalBlocker block(box);
    box->clear();
    box->addItems(m_pane.RememberedDirs());
    box->setEditText(m_session.currentRemoteDir);
}

void RemotePaneView::ShowListingLook(const QString& column1, const QString& column2,
                                     bool mkDirVisible) {
    m_model->SetCaptions(column1, column2);
    m_c.makeDir->setVisible(mkDirVisible);
}

QStringList RemotePaneView::SelectedNames() const {
    QStringList names;
    for (int row : SelectedSourceRows(m_c.list)) {
        const RemoteRow r = m_pane.Row(row);
        if (r.kind != RemoteRow::Kind::Parent && r.entry != nullptr) {
            names.append(r.entry->name);
        }
    }
    return names;
}
