#pragma once

#include <QAbstractTableModel>
#include <QIcon>

class LocalPane;

// The local list's rows for lvLocalFiles: reads the pane's rows on demand, so a directory of
// 100,000 files costs only the rows on the screen.
class LocalFilesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit LocalFilesModel(LocalPane& pane, QObject* parent = nullptr);

    // Call after the pane re-listed or re-sorted.
    void Reload();

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
    LocalPane& m_pane;
    QIcon m_folderIcon;
    QIcon m_fileIcon;
};
