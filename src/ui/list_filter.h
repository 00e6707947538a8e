#pragma once

#include <QSortFilterProxyModel>

#include <vector>

#include "ui/model/name_filter.h"

class QAbstractButton;
class QAbstractItemView;
class QLineEdit;

// The role of the file models that gives a row's size in bytes: -1 for folders and "..".
inline constexpr int kBytesRole = Qt::UserRole + 1;

// The filter box and the hidden-files toggle above a file list: the list shows its model's rows
// through this proxy, in the model's own order, leaving out the names the filter does not
// accept (ShowHidden null: the model itself decides on hidden names). Everything that reads the
// list's rows goes through SourceRow.
class ListFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    ListFilter(QAbstractItemView* list, QAbstractItemModel* source, QLineEdit* box,
               QAbstractButton* showHidden, QObject* parent);

    // The summary line: Plain, or with a filter the counts of what is shown, saying so.
    QString Summary(const QString& plain) const;

signals:
    void changed();  // the filter changed: the summary follows

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    NameFilter m_filter;
};

// The row of the list's own model (behind a filter, if any) that Index shows.
int SourceRow(const QAbstractItemView* list, const QModelIndex& index);
// The selected rows of a list, as rows of its own model, in order.
std::vector<int> SelectedSourceRows(const QAbstractItemView* list);
// The list's own model, behind a filter if there is one.
QAbstractItemModel* SourceModel(const QAbstractItemView* list);
