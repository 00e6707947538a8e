#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <functional>

#include "listing/remote_listing.h"

// The remote list's rows for lvRemote: formats the rows of the current listing on demand, so a
// directory of 100,000 entries costs only the rows on the screen.
class RemoteFilesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The role that gives a row's RemoteImage as an int (navigation reads it on a double click).
    static constexpr int kImageRole = Qt::UserRole + 1;

    RemoteFilesModel(std::function<const RemoteListing&()> listing,
                     std::function<bool()> descending, QObject* parent = nullptr);

    // Call after the listing was re-populated or re-sorted, or the sequence changed.
    void Reload();
    // Columns 1 and 2 are "Permissions" and "Size" except for z/OS listings.
    void SetCaptions(const QString& column1, const QString& column2);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

    // The list's name that dragged rows carry.
    QString dragSource;

private:
    RemoteRow RowAt(int row) const;
    const QIcon& IconFor(RemoteImage image) const;

    std::function<const RemoteListing&()> m_listing;
    std::function<bool()> m_descending;
    QIcon m_folderIcon;
    QIcon m_folderLinkIcon;
    QIcon m_fileIcon;
    QIcon m_fileLinkIcon;
    QString m_captions[2] = {"Permissions", "Size"};
};
