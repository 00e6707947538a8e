#pragma once

class QAbstractButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QTreeView;
class RadioGroup;

// What both file panes have: the list, the directory box, the summary line under the list, the
// two sort groups and the Refresh button.
struct PaneControls {
    QTreeView* list;
    QComboBox* dirBox;
    QLabel* summary;
    RadioGroup* sortKey;
    RadioGroup* sortOrder;
    QAbstractButton* refresh;
    QLineEdit* filter;            // narrows the list as one types
    QAbstractButton* showHidden;  // names beginning with "."
};
