#pragma once

#include <QObject>

#include <vector>

class TfrmMain;
class Transfers;
class RemoteOperations;
class QAbstractItemView;
class QMimeData;

// The window side of transfers and remote file operations: the buttons and menu entries, the
// selections they act on, and drag and drop between the two lists (a drop only becomes a call of
// the batch routines).
class TransferView : public QObject {
    Q_OBJECT
public:
    TransferView(TfrmMain& main, Transfers& transfers, RemoteOperations& operations);

    // The selected rows of the remote list, in order.
    std::vector<int> SelectedRemoteRows() const;
    // What a drop does: Target is the list dropped on, Data what the drag carries, X the
    // pointer's distance from the target's left edge. False when the drop is refused.
    bool Drop(QAbstractItemView* target, const QMimeData* data, int x);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Accepts(QAbstractItemView* target, const QMimeData* data, int x) const;

    TfrmMain& m_main;
    Transfers& m_transfers;
    RemoteOperations& m_operations;
};
