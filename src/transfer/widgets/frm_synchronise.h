#pragma once

#include <QDialog>

#include "runtime/user_interface.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTreeWidget;

// The comparison Synchronise shows before anything moves: what differs, counted and listed, the
// direction, whether what exists only on the target is deleted, and what that choice would do.
class TfrmSynchronise : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSynchronise(QWidget* parent = nullptr);

    // Shows Question and waits for the person's choice.
    SyncAnswer Ask(const SyncQuestion& question);

    QLabel* lblSummary;
    QTreeWidget* lvDifferences;
    QRadioButton* rbUpload;
    QRadioButton* rbDownload;
    QCheckBox* chkDelete;
    QLabel* lblPlan;
    QPushButton* btnRun;
    QPushButton* btnCancel;

private:
    void ShowPlan();

    const SyncQuestion* m_question = nullptr;
};
