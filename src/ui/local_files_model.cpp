#include "ui/local_files_model.h"

#include "ui/list_drag.h"

#include <QApplication>
#include <QStyle>

#include "panes/local_pane.h"
#include "ui/list_filter.h"

LocalFilesModel::LocalFilesModel(LocalPane& pane, QObject* parent)
    : QAbstractTableModel(parent),
      m_pane(pane),
      m_folderIcon(QApplication::style()->standardIcon(QStyle::SP_DirIcon)),
      m_fileIcon(QApplication::style()->standardIcon(QStyle::SP_FileIcon)) {}

void LocalFilesModel::Reload() {
    beginResetModel();
    endResetModel();
}

int LocalFilesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_pane.RowCount();
}

int LocalFilesModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 3;
}

QVariant LocalFilesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        const LocalRow row = m_pane.Row(index.row());
        switch (index.column()) {
            case 0:
                return row.name;
            case 1:
                return row.size;
            case 2:
                return row.modified;
        }
    } else if (role == Qt::DecorationRole && index.column() == 0) {
        return m_pane.Row(index.row()).kind == LocalRow::Kind::File ? m_fileIcon : m_folderIcon;
    } else if (role == Qt::TextAlignmentRole && index.column() == 1) {
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    } else if (role == kBytesRole) {
        return m_pane.Row(index.row()).kind == LocalRow::Kind::File ? m_pane.RowBytes(index.row())
                                                                    : qint64(-1);
    }
    return {};
}

QVariant LocalFilesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    static const char* const kTitles[] = {"     Filename", "Size", "Modified"};
    return section >= 0 && section < 3 ? QString(kTitles[section]) : QVariant();
}

Qt::ItemFlags LocalFilesModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled
                           : Qt::NoItemFlags;
}

QStringList LocalFilesModel::mimeTypes() const {
    return {QString::fromLatin1(kListDragMime)};
}

QMimeData* LocalFilesModel::mimeData(const QModelIndexList& indexes) const {
    Q_UNUSED(indexes);  // the drop acts on the list's selection
    return ListDragData(dragSource);
}
