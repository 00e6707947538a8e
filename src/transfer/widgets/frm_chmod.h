#pragma once

#include <QDialog>
#include <QString>

#include "transfer/transfer_rules.h"

class QCheckBox;
class QPushButton;

// "Set permissions for NAME": nine boxes, owner / group / others by read / write / execute.
// Set and Exit leaves the nine-character text and the octal value; Cancel (or closing) leaves
// the octal value empty.
class TfrmChmod : public QDialog {
    Q_OBJECT
public:
    explicit TfrmChmod(QWidget* parent = nullptr);

    void SetBoxes(const PermissionBoxes& boxes);
    PermissionBoxes Boxes() const;

    QCheckBox* chkbxUR = nullptr;
    QCheckBox* ChkbxUW = nullptr;
    QCheckBox* chkbxUX = nullptr;
    QCheckBox* chkbxGR = nullptr;
    QCheckBox* chkbxGW = nullptr;
    QCheckBox* chkbxGX = nullptr;
    QCheckBox* chkbxWR = nullptr;
    QCheckBox* chkbxWW = nullptr;
    QCheckBox* chkbxWX = nullptr;
    QPushButton* btnSetAndExit = nullptr;
    QPushButton* btnCancel = nullptr;

    // The dialog's result.
    QString permissionText;
    QString octal;

private:
    QCheckBox* Box(int index) const;
};
