#include "ui/transfer_view.h"

#include <QApplication>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QPushButton>
#include <QTreeView>

#include "app/app_core.h"
#include "panes/remote_pane.h"
#include "transfer/remote_operations.h"
#include "transfer/transfers.h"
#include "ui/frm_main.h"
#include "ui/list_drag.h"
#include "ui/local_files_model.h"
#include "ui/remote_files_model.h"

TransferView::TransferView(TfrmMain& main, Transfers& transfers, RemoteOperations& operations)
    : QObject(&main), m_main(main), m_transfers(transfers), m_operations(operations) {
    TfrmMain& m = main;
    connect(m.btnUpload, &QPushButton::clicked, this,
            [this] { m_transfers.btnUploadClickActions(m_main.SelectedLocalNames()); });
    connect(m.btnDownload, &QPushButton::clicked, this,
            [this] { m_transfers.btnDownloadClickActions(SelectedRemoteRows()); });
    connect(m.btnMkDir, &QPushButton::clicked, this, [this] { m_operations.btnMkdirClick(); });
    connect(m.btnDeleteRem, &QPushButton::clicked, this,
            [this] { m_operations.DeleteRemoteActions(SelectedRemoteRows()); });
    connect(m.btnRenameRem, &QPushButton::clicked, this,
            [this] { m_operations.RemoteRenameActions(SelectedRemoteRows()); });
    connect(m.btnChmodRem, &QPushButton::clicked, this,
            [this] { m_operations.ChmodActions(SelectedRemoteRows()); });
    m.Core().remotePane->downloadSelection = [this] {
        m_transfers.btnDownloadClickActions(SelectedRemoteRows());
    };
    m.lvLocalFiles->setObjectName("lvLocalFiles");
    m.lvRemote->setObjectName("lvRemote");
    if (auto* model = qobject_cast<LocalFilesModel*>(m.lvLocalFiles->model())) {
        model->dragSource = m.lvLocalFiles->objectName();
    }
    if (auto* model = qobject_cast<RemoteFilesModel*>(m.lvRemote->model())) {
        model->dragSource = m.lvRemote->objectName();
    }
    for (QTreeView* list : {m.lvLocalFiles, m.lvRemote}) {
        list->setDragEnabled(true);
        list->setAcceptDrops(true);
        list->setDragDropMode(QAbstractItemView::DragDrop);
        list->setDefaultDropAction(Qt::CopyAction);
        list->viewport()->installEventFilter(this);
    }
}

std::vector<int> TransferView::SelectedRemoteRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : m_main.lvRemote->selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

bool TransferView::Accepts(QAbstractItemView* target, const QMimeData* data, int x) const {
    const QTreeView* other = target == m_main.lvRemote ? m_main.lvLocalFiles : m_main.lvRemote;
    return ListDragSource(data) == other->objectName() && Transfers::AcceptsDrop(x);
}

bool TransferView::Drop(QAbstractItemView* target, const QMimeData* data, int x) {
    if (!Accepts(target, data, x) || m_main.Core().run.batchTransferRunning) {
        return false;
    }
    if (target == m_main.lvLocalFiles) {
        m_transfers.btnDownloadClickActions(SelectedRemoteRows());
    } else {
        m_transfers.btnUploadClickActions(m_main.SelectedLocalNames());
    }
    QApplication::processEvents();
    return true;
}

bool TransferView::eventFilter(QObject* watched, QEvent* event) {
    QAbstractItemView* target = watched == m_main.lvRemote->viewport()       ? m_main.lvRemote
                                : watched == m_main.lvLocalFiles->viewport() ? m_main.lvLocalFiles
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
