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
// Each folder of a pair has a checkbox that selects or deselects that
// folder's copies of the pair (none for a folder that is itself a duplicate
// folder); a side that can select nothing more says why in its tooltip.
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
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Ticks or unticks a folder of a pair (confirmed after the question).
    void setSideSelected(const QModelIndex& index, bool selected, bool confirmed);

signals:
    // The last copies of the folder would be selected: the person confirms
    // first (SimilarFolderSelection::lastCopiesQuestion), then setSideSelected confirmed.
    void confirmationNeeded(const QModelIndex& index, bool selected);

private:
    void rebuild();

    std::shared_ptr<DuplicatesContainer> m_container;
    std::vector<std::shared_ptr<DuplicatesHeap>> m_heaps;
    std::unique_ptr<platform::NotificationCenter::Observation> m_dataObservation;
    std::unique_ptr<platform::NotificationCenter::Observation> m_selectionObservation;
};

}  // namespace kestrane::gui
