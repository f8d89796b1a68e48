// kestrane_gui_models_bench: how the desktop app's groups list copes with a
// large result. Scans a tree (kestrane_make_tree --duplicates), then times,
// on the largest category: filling the list, sorting it by name and by size,
// a search, a scroll over the whole list the way a view reads it (40 rows of
// every column at each of 1,000 positions), and selecting a copy of every
// group in one batch (the repaint that follows is one signal).
//
//     kestrane_gui_models_bench TREE
#include "app/FoldersScanner.h"
#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "gui/GroupsModel.h"
#include "gui/MainQueueBridge.h"
#include "platform/MainQueue.h"

#include <QApplication>
#include <QSignalSpy>

#include <chrono>
#include <cstdio>
#include <memory>

using namespace kestrane;

namespace {

class Listener : public FoldersScannerListener {
public:
    void onScanCompleteWithResult(std::shared_ptr<DuplicatesContainer> result) override { container = std::move(result); }
    std::shared_ptr<DuplicatesContainer> container;
};

template <class F>
double millisecondsOf(F&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: kestrane_gui_models_bench TREE\n");
        return 2;
    }
    auto listener = std::make_shared<Listener>();
    auto scanner = FoldersScanner::create({argv[1]}, listener);
    scanner->includeHiddenFiles(true);
    scanner->startScanWithMinimalSize(0, false);
    platform::MainQueue::shared().runUntil([&] { return listener->container != nullptr; }, std::chrono::hours(1));
    if (!listener->container) return 1;

    std::shared_ptr<DuplicatesCategory> largest;
    for (const auto& category : listener->container->getCategories())
        if (category->getType() && (!largest || category->getGroupsCount() > largest->getGroupsCount()))
            largest = category;
    if (!largest) return 1;
    const auto groups = largest->getGroups();
    std::printf("groups in the largest category: %zu\n", groups.size());

    gui::GroupsModel model;
    std::printf("fill the list:        %8.1f ms\n", millisecondsOf([&] { model.setGroups(groups); }));
    std::printf("sort by name:         %8.1f ms\n", millisecondsOf([&] { model.setSortType(gui::GroupsModel::byName, false); }));
    std::printf("sort by size:         %8.1f ms\n", millisecondsOf([&] { model.setSortType(gui::GroupsModel::bySize, true); }));
    std::printf("search \"copy\":        %8.1f ms\n", millisecondsOf([&] { model.setFilterText(QStringLiteral("copy")); }));
    std::printf("clear the search:     %8.1f ms\n", millisecondsOf([&] { model.setFilterText({}); }));
    const int rows = model.rowCount();
    std::size_t cells = 0;
    const double scroll = millisecondsOf([&] {
        for (int position = 0; position < 1000; ++position) {
            const int first = rows > 40 ? static_cast<int>(static_cast<long long>(rows - 40) * position / 999) : 0;
            for (int row = first; row < std::min(rows, first + 40); ++row) {
                const QModelIndex group = model.index(row, 0);
                for (int column = 0; column < gui::GroupsModel::kColumnCount; ++column)
                    cells += model.data(model.index(row, column)).isValid();
                for (int copy = 0; copy < model.rowCount(group); ++copy)
                    cells += model.data(model.index(copy, 0, group), Qt::CheckStateRole).isValid();
            }
        }
    });
    std::printf("scroll, 1000 screens: %8.1f ms (%.3f ms a screen, %zu cells)\n", scroll, scroll / 1000, cells);
    QSignalSpy repaints(&model, &QAbstractItemModel::dataChanged);
    const double select = millisecondsOf([&] {
        DuplicatesGroup::BeginSelectionGroup();
        for (const auto& group : groups) group->getItems().front()->selectItemForced(false);
        DuplicatesGroup::EndSelectionGroup();
        platform::MainQueue::shared().runPending();
    });
    std::printf("select %zu copies:   %8.1f ms, %lld repaint signal(s)\n", groups.size(), select,
                static_cast<long long>(repaints.count()));
    return 0;
}
