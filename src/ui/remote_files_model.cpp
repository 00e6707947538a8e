#include "ui/remote_files_model.h"

#include "ui/list_filter.h"

#include "ui/list_drag.h"

#include <QApplication>
#include <QStyle>

#include "config/words.h"

RemoteFilesModel::RemoteFilesModel(std::function<const RemoteListing&()> listing,
                                   std::function<bool()> descending, QObject* parent)
    : QAbstractTableModel(parent),
      m_listing(std::move(listing)),
      m_descending(std::move(descending)),
      m_folderIcon(QApplication::style()->standardIcon(QStyle::SP_DirIcon)),
      m_folderLinkIcon(QApplication::style()->standardIcon(QStyle::SP_DirLinkIcon)),
      m_fileIcon(QApplication::style()->standardIcon(QStyle::SP_FileIcon)),
      m_fileLinkIcon(QApplication::style()->standardIcon(QStyle::SP_FileLinkIcon)) {}

void RemoteFilesModel::Reload() {
    beginResetModel();
    endResetModel();
}

int RemoteFilesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : RemoteRowCount(m_listing());
}

int RemoteFilesModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 4;
}

RemoteRow RemoteFilesModel::RowAt(int row) const {
    return RemoteRowAt(m_listing(), m_descending(), row);
}

const QIcon& RemoteFilesModel::IconFor(RemoteImage image) const {
    switch (image) {
        case RemoteImage::DirectoryLink:
            return m_folderLinkIcon;
        case RemoteImage::FileLink:
            return m_fileLinkIcon;
        case RemoteImage::File:
            return m_fileIcon;
        case RemoteImage::Directory:
        case RemoteImage::PartitionedDataset:  // opens like a directory
            break;
    }
    return m_folderIcon;
}

QVariant RemoteFilesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    // Names and dates come from the server: they go out as plain display text, never as markup.
    if (role == Qt::DisplayRole) {
        const RemoteRow row = RowAt(index.row());
        if (row.entry == nullptr) {
            return index.column() == 0 ? QStringLiteral("..") : QString();
        }
        switch (index.column()) {
            case 0:
                return row.entry->name;
            case 1:
                return row.entry->permissions;
            case 2:
                return row.kind == RemoteRow::Kind::File ? GroupThousands(row.entry->size)
                                                         : QString();
            case 3:
                return row.entry->modified;
        }
    } else if (role == kBytesRole) {
        const RemoteRow row = RowAt(index.row());
        return row.kind == RemoteRow::Kind::File && row.entry ? row.entry->size : qint64(-1);
    } else if (role == Qt::DecorationRole && index.column() == 0) {
        return IconFor(RowAt(index.row()).image);
    } else if (role == Qt::TextAlignmentRole && index.column() == 2) {
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    } else if (role == kImageRole) {
        return int(RowAt(index.row()).image);
    }
    return {};
}

QVariant RemoteFilesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) {
        return {};
    }
    if (role == Qt::TextAlignmentRole && section == 2) {
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    const QString titles[] = {"Remote name", m_captions[0], m_captions[1], "Modified"};
    return section >= 0 && section < 4 ? titles[section] : QVariant();
}

void RemoteFilesModel::SetCaptions(const QString& column1, const QString& column2) {
    if (m_captions[0] != column1 || m_captions[1] != column2) {
        m_captions[0] = column1;
        m_captions[1] = column2;
        emit headerDataChanged(Qt::Horizontal, 1, 2);
    }
}

Qt::ItemFlags RemoteFilesModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled
                           : Qt::NoItemFlags;
}

QStringList RemoteFilesModel::mimeTypes() const {
    return {QString::fromLatin1(kListDragMime)};
}

QMimeData* RemoteFilesModel::mimeData(const QModelIndexList& indexes) const {
    Q_UNUSED(indexes);  // the drop acts on the list's selection
    return ListDragData(dragSource);
}
