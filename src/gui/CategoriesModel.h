#pragma once

#include "duplicates/FileCategory.h"
#include "platform/NotificationCenter.h"

#include <QAbstractListModel>

#include <memory>
#include <optional>
#include <vector>

namespace kestrane {
class DuplicatesContainer;
}

namespace kestrane::gui {

// The left column of the results: a row per category that holds duplicates
// (images ... other, then duplicate folders) with its group count and size,
// and a last row for the similar folders when there are any. Follows the
// selection and the result's changes.
class CategoriesModel final : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role { subtitleRole = Qt::UserRole + 1, categoryRole, isSimilarFoldersRole };

    explicit CategoriesModel(QObject* parent = nullptr);
    ~CategoriesModel() override;

    void setContainer(std::shared_ptr<DuplicatesContainer> container);
    const std::shared_ptr<DuplicatesContainer>& container() const { return m_container; }

    // The category of a row; none for the similar-folders row.
    std::optional<FileCategory> categoryAt(int row) const;
    bool isSimilarFoldersRow(int row) const;
    int rowOfCategory(FileCategory category) const;
    int similarFoldersRow() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    void rebuild();
    void refreshFigures();

    struct Row {
        std::optional<FileCategory> category;  // none: similar folders
    };
    std::shared_ptr<DuplicatesContainer> m_container;
    std::vector<Row> m_rows;
    std::unique_ptr<platform::NotificationCenter::Observation> m_selectionObservation;
    std::unique_ptr<platform::NotificationCenter::Observation> m_dataObservation;
};

}  // namespace kestrane::gui
