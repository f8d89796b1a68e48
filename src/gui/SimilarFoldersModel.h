#pragma once

#include "platform/NotificationCenter.h"

#include <QAbstractTableModel>

#include <memory>
#include <vector>

namespace kestrane {
class DuplicatesContainer;
class DuplicatesHeap;
}  // namespace kestrane

namespace kestrane::gui {

// The pairs of similar folders of a result, largest first: the two folders,
// how many groups of copies they share and the size of the shared copies.
// Rebuilt when the result changes (after a removal the pairs are recomputed).
class SimilarFoldersModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { folderColumn, similarFolderColumn, sharedColumn, sizeColumn, kColumnCount };

    explicit SimilarFoldersModel(QObject* parent = nullptr);
    ~SimilarFoldersModel() override;

    void setContainer(std::shared_ptr<DuplicatesContainer> container);
    std::shared_ptr<DuplicatesHeap> heapAt(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void rebuild();

    std::shared_ptr<DuplicatesContainer> m_container;
    std::vector<std::shared_ptr<DuplicatesHeap>> m_heaps;
    std::unique_ptr<platform::NotificationCenter::Observation> m_dataObservation;
    std::unique_ptr<platform::NotificationCenter::Observation> m_selectionObservation;
};

}  // namespace kestrane::gui
