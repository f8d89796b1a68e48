#pragma once

#include "platform/NotificationCenter.h"

#include <QAbstractItemModel>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestrane {
class DuplicateItem;
class DuplicatesHeap;
}  // namespace kestrane

namespace kestrane::gui {

// One folder of a similar-folder pair: its copies that the other folder
// shares ("Duplicate Files", checkable, under the keep-one-copy rule of the
// similar-folder screens) and the items only it has ("Unique Files").
class PairFilesModel final : public QAbstractItemModel {
    Q_OBJECT

public:
    enum Side { mainSide, secondSide };
    enum Section { duplicatesSection, uniqueSection, kSectionCount };
    enum Column { nameColumn, sizeColumn, kColumnCount };
    enum Role { pathRole = Qt::UserRole + 1 };

    explicit PairFilesModel(Side side, QObject* parent = nullptr);
    ~PairFilesModel() override;

    void setHeap(std::shared_ptr<DuplicatesHeap> heap);
    const std::shared_ptr<DuplicatesHeap>& heap() const { return m_heap; }
    // The folder shown, as a path (empty without a pair).
    const std::string& folderPath() const { return m_folderPath; }

    std::shared_ptr<DuplicateItem> itemAt(const QModelIndex& index) const;
    const std::vector<std::shared_ptr<DuplicateItem>>& sharedItems() const { return m_shared; }
    // Names of the items only this folder has.
    std::vector<std::string> uniqueNames() const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    void confirmationNeeded(std::shared_ptr<kestrane::DuplicateItem> item);
    void lastCopyRefused(const QModelIndex& index, const QString& explanation);

private:
    struct UniqueEntry {
        std::string name;
        std::string path;
        std::uint64_t size = 0;
        bool isFolder = false;
    };
    void rebuild();

    Side m_side;
    std::shared_ptr<DuplicatesHeap> m_heap;
    std::string m_folderPath;
    std::vector<std::shared_ptr<DuplicateItem>> m_shared;
    std::vector<UniqueEntry> m_unique;
    std::unique_ptr<platform::NotificationCenter::Observation> m_selectionObservation;
};

}  // namespace kestrane::gui
