#pragma once

#include <QObject>

#include <QStringList>

#include <functional>
#include <vector>

class QAbstractButton;
class QAbstractItemView;
class QMimeData;
class QTreeView;
class RemoteOperations;
class RemotePane;
struct RunState;
class Transfers;

// The window side of transfers and remote file operations: the buttons and menu entries, the
// selections they act on, and drag and drop between the two lists (a drop only becomes a call of
// the batch routines).
class TransferView : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QAbstractButton* upload;
        QAbstractButton* download;
        QAbstractButton* makeDir;
        QAbstractButton* deleteRemote;
        QAbstractButton* renameRemote;
        QAbstractButton* chmodRemote;
        QTreeView* localList;
        QTreeView* remoteList;
    };
    // SelectedLocal: the names of the selected local rows.
    TransferView(QObject* parent, const Controls& controls, Transfers& transfers,
                 RemoteOperations& operations, RemotePane& pane, const RunState& run,
                 std::function<QStringList()> selectedLocal);

    // The selected rows of the remote list, in order.
    std::vector<int> SelectedRemoteRows() const;
    // What a drop does: Target is the list dropped on, Data what the drag carries, X the
    // pointer's distance from the target's left edge. False when the drop is refused.
    bool Drop(QAbstractItemView* target, const QMimeData* data, int x);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Accepts(QAbstractItemView* target, const QMimeData* data, int x) const;

    Controls m_c;
    Transfers& m_transfers;
    RemoteOperations& m_operations;
    const RunState& m_run;
    std::function<QStringList()> m_selectedLocal;
};
