#include "transfer/widgets/frm_chmod.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TfrmChmod::TfrmChmod(QWidget* parent) : QDialog(parent) {
    setModal(true);
    auto* grid = new QGridLayout;
    const char* const columns[] = {"Read", "Write", "Execute"};
    const char* const rows[] = {"Owner", "Group", "Others"};
    for (int c = 0; c < 3; ++c) {
        grid->addWidget(new QLabel(QString::fromLatin1(columns[c]), this), 0, c + 1,
                        Qt::AlignCenter);
    }
    QCheckBox** boxes[] = {&chkbxUR, &ChkbxUW, &chkbxUX, &chkbxGR, &chkbxGW,
                           &chkbxGX, &chkbxWR, &chkbxWW, &chkbxWX};
    for (int r = 0; r < 3; ++r) {
        grid->addWidget(new QLabel(QString::fromLatin1(rows[r]), this), r + 1, 0);
        for (int c = 0; c < 3; ++c) {
            QCheckBox* box = new QCheckBox(this);
            box->setAccessibleName(QString("%1 %2").arg(rows[r], columns[c]));
            *boxes[r * 3 + c] = box;
            grid->addWidget(box, r + 1, c + 1, Qt::AlignCenter);
        }
    }
    btnSetAndExit = new QPushButton("Set and Exit", this);
    btnCancel = new QPushButton("Cancel", this);
    btnSetAndExit->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnSetAndExit);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    connect(btnSetAndExit, &QPushButton::clicked, this, [this] {
        permissionText = PermissionTextFromBoxes(Boxes());
        octal = OctalFromBoxes(Boxes());
        accept();
    });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::rejected, this, [this] { octal.clear(); });
}

QCheckBox* TfrmChmod::Box(int index) const {
    QCheckBox* const boxes[] = {chkbxUR, ChkbxUW, chkbxUX, chkbxGR, chkbxGW,
                                chkbxGX, chkbxWR, chkbxWW, chkbxWX};
    return boxes[index];
}

void TfrmChmod::SetBoxes(const PermissionBoxes& boxes) {
    for (int i = 0; i < 9; ++i) {
        Box(i)->setChecked(boxes[i]);
    }
    permissionText.clear();
    octal.clear();
}

PermissionBoxes TfrmChmod::Boxes() const {
    PermissionBoxes boxes{};
    for (int i = 0; i < 9; ++i) {
        boxes[i] = Box(i)->isChecked();
    }
    return boxes;
}
