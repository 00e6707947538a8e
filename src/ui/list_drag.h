#pragma once

#include <QMimeData>
#include <QString>

// Rows dragged out of one of the two file lists carry the name of the list they came from, so a
// drop can tell a drag between the lists from anything else (and tests can hand the drop
// handler the same data a real drag brings).
inline constexpr char kListDragMime[] = "application/x-vorlen-list";

inline QMimeData* ListDragData(const QString& source) {
    auto* data = new QMimeData;
    data->setData(kListDragMime, source.toUtf8());
    return data;
}

inline QString ListDragSource(const QMimeData* data) {
    return data && data->hasFormat(kListDragMime) ? QString::fromUtf8(data->data(kListDragMime))
                                                  : QString();
}
