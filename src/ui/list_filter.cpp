#include "ui/list_filter.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QLineEdit>

#include <algorithm>

#include "config/words.h"

ListFilter::ListFilter(QAbstractItemView* list, QAbstractItemModel* source, QLineEdit* box,
                       QAbstractButton* showHidden, QObject* parent)
    : QSortFilterProxyModel(parent) {
    setSourceModel(source);
    list->setModel(this);
    const auto update = [this, box, showHidden] {
        m_filter.Set(box->text(), showHidden == nullptr || showHidden->isChecked());
        invalidateFilter();
        emit changed();
    };
    connect(box, &QLineEdit::textChanged, this, update);
    if (showHidden != nullptr) {
        connect(showHidden, &QAbstractButton::toggled, this, update);
    }
    update();
}

bool ListFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    if (!m_filter.Active()) {
        return true;
    }
    return m_filter.Accepts(sourceModel()->index(sourceRow, 0, sourceParent).data().toString());
}

QString ListFilter::Summary(const QString& plain) const {
    if (!m_filter.Active()) {
        return plain;
    }
    qint64 shownFiles = 0;
    qint64 allFiles = 0;
    qint64 bytes = 0;
    for (int row = 0; row < sourceModel()->rowCount(); ++row) {
        const qint64 size = sourceModel()->index(row, 0).data(kBytesRole).toLongLong();
        if (size < 0) {
            continue;
        }
        ++allFiles;
        if (filterAcceptsRow(row, QModelIndex())) {
            ++shownFiles;
            bytes += size;
        }
    }
    return GroupThousands(shownFiles) + " of " + GroupThousands(allFiles) + " files    " +
           GroupThousands(bytes) + " bytes (filtered)";
}

int SourceRow(const QAbstractItemView* list, const QModelIndex& index) {
    if (const auto* proxy = qobject_cast<const QAbstractProxyModel*>(list->model())) {
        return proxy->mapToSource(index).row();
    }
    return index.row();
}

std::vector<int> SelectedSourceRows(const QAbstractItemView* list) {
    std::vector<int> rows;
    for (const QModelIndex& index : list->selectionModel()->selectedRows()) {
        rows.push_back(SourceRow(list, index));
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

QAbstractItemModel* SourceModel(const QAbstractItemView* list) {
    if (const auto* proxy = qobject_cast<const QAbstractProxyModel*>(list->model())) {
        return proxy->sourceModel();
    }
    return list->model();
}
