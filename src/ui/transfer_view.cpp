#include "ui/transfer_view.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QTreeView>

#include "panes/remote_pane.h"
#include "runtime/run_state.h"
#include "transfer/remote_operations.h"
#include "transfer/transfers.h"
#include "ui/list_drag.h"
#include "ui/list_filter.h"
#include "ui/local_files_model.h"
#include "ui/remote_files_model.h"

TransferView::TransferView(QObject* parent, const Controls& controls, Transfers& transfers,
                           RemoteOperations& operations, RemotePane& pane, const RunState& run,
                           std::function<QStringList()> selectedLocal)
    : QObject(parent),
      m_c(controls),
      m_transfers(transfers),
      m_operations(operations),
      m_run(run),
      m_selectedLocal(std::move(selectedLocal)) {
    const Controls& m = m_c;
    connect(m.upload, &QAbstractButton::clicked, this,
            [this] { m_transfers.btnUploadClickActions(m_selectedLocal()); });
    connect(m.download, &QAbstractButton::clicked, this,
            [this] { m_transfers.btnDownloadClickActions(SelectedRemoteRows()); });
    connect(m.makeDir, &QAbstractButton::clicked, this, [this] { m_operations.btnMkdirClick(); });
    connect(m.deleteRemote, &QAbstractButton::clicked, this,
            [this] { m_operations.DeleteRemoteActions(SelectedRemoteRows()); });
    connect(m.renameRemote, &QAbstractButton::clicked, this,
            [this] { m_operations.RemoteRenameActions(SelectedRemoteRows()); });
    connect(m.chmodRemote, &QAbstractButton::clicked, this,
            [this] { m_operations.ChmodActions(SelectedRemoteRows()); });
    pane.downloadSelection = [this] { m_transfers.btnDownloadClickActions(SelectedRemoteRows()); };
    m.localList->setObjectName("lvLocalFiles");
    m.remoteList->setObjectName("lvRemote");
    if (auto* model = qobject_cast<LocalFilesModel*>(SourceModel(m.localList))) {
        model->dragSource = m.localList->objectName();
    }
    if (auto* model = qobject_cast<RemoteFilesModel*>(SourceModel(m.remoteList))) {
        model->dragSource = m.remoteList->objectName();
    }
    for (QTreeView* list : {m.localList, m.remoteList}) {
        list->setDragEnabled(true);
        list->setAcceptDrops(true);
        list->setDragDropMode(QAbstractItemView::DragDrop);
        list->setDefaultDropAction(Qt::CopyAction);
        list->viewport()->installEventFilter(this);
    }
}

std::vector<int> TransferView::SelectedRemoteRows() const {
    return SelectedSourceRows(m_c.remoteList);
}

bool TransferView::Accepts(QAbstractItemView* target, const QMimeData* data, int x) const {
    const QTreeView* other = target == m_c.remoteList ? m_c.localList : m_c.remoteList;
    return ListDragSource(data) == other->objectName() && Transfers::AcceptsDrop(x);
}

bool TransferView::Drop(QAbstractItemView* target, const QMimeData* data, int x) {
    if (!Accepts(target, data, x) || m_run.batchTransferRunning) {
        return false;
    }
    if (target == m_c.localList) {
        m_transfers.btnDownloadClickActions(SelectedRemoteRows());
    } else {
        m_transfers.btnUploadClickActions(m_selectedLocal());
    }
    QApplication::processEvents();
    return true;
}

bool TransferView::eventFilter(QObject* watched, QEvent* event) {
    QAbstractItemView* target = watched == m_c.remoteList->viewport()  ? m_c.remoteList
                                : watched == m_c.localList->viewport() ? m_c.localList
                                                                       : nullptr;
    if (!target) {
        return QObject::eventFilter(watched, event);
    }
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (Accepts(target, drag->mimeData(), int(drag->position().x()))) {
                drag->setDropAction(Qt::CopyAction);
                drag->accept();
            } else {
                drag->ignore();
            }
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const bool done = Drop(target, drop->mimeData(), int(drop->position().x()));
            drop->setDropAction(Qt::CopyAction);
            done ? drop->accept() : drop->ignore();
            return true;
        }
        default:
            return QObject::eventFilter(watched, event);
    }
}
