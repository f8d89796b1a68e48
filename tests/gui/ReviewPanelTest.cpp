// The review of the copies selected for removal over a real scan: the file
// tree, the copies by folder and the plain list built from the selection,
// the eight orders with their titles, the stored presentation and order,
// unticking in the review, and removed copies leaving it with the folders
// they emptied.
#include "GuiTestSupport.h"

#include "app/SelectedItemsPresenter.h"
#include "app/SelectedItemsSortMenuDelegate.h"
#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/DuplicatesManager.h"
#include "gui/QtQuestionAsker.h"
#include "gui/ReviewModel.h"
#include "gui/ReviewPanel.h"
#include "settings/Settings.h"
#include "support/ScanTestSupport.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include <filesystem>

using namespace kestrane;
using namespace kestrane::gui;

namespace {

QString text(const QAbstractItemModel& model, int row, const QModelIndex& parent = {},
             int column = ReviewModel::nameColumn) {
    return model.data(model.index(row, column, parent)).toString();
}

QStringList rowNames(const QAbstractItemModel& model, const QModelIndex& parent = {}) {
    QStringList names;
    for (int row = 0; row < model.rowCount(parent); ++row) names << text(model, row, parent);
    return names;
}

// The folder row called `name` among the children of `parent`.
QModelIndex child(const QAbstractItemModel& model, const QModelIndex& parent, const QString& name) {
    for (int row = 0; row < model.rowCount(parent); ++row)
        if (text(model, row, parent) == name) return model.index(row, 0, parent);
    return {};
}

}  // namespace

class ReviewPanelTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::GuiSandbox> m_sandbox;
    std::shared_ptr<DuplicatesContainer> m_container;
    std::string m_root;
    // The selected copies, by their names.
    std::shared_ptr<DuplicateItem> m_beach, m_sunset, m_notes;

    std::shared_ptr<DuplicateItem> itemAt(const std::string& relative) const {
        for (const auto& group : m_container->getAllFilesGroups())
            for (const auto& item : group->getItems())
                if (item->getFileItemPath() == m_root + "/" + relative) return item;
        return nullptr;
    }

    // Photos holds the originals; Copies holds one copy of each at three
    // depths: Copies/notes.txt, Copies/Trip/beach.jpg, Copies/Trip/Day2/sunset.jpg.
    void scanAndSelectCopies() {
        test::TempDir& tree = m_sandbox->tree();
        m_root = tree.path();
        tree.writeFile("Photos/beach.jpg", test::noise(3000, 1));
        tree.writeFile("Photos/sunset.jpg", test::noise(5000, 2));
        tree.writeFile("Photos/notes.txt", test::noise(800, 3));
        tree.writeFile("Copies/Trip/beach.jpg", test::noise(3000, 1));
        tree.writeFile("Copies/Trip/Day2/sunset.jpg", test::noise(5000, 2));
        tree.writeFile("Copies/notes.txt", test::noise(800, 3));
        // Dates in the opposite order of the sizes.
        test::setModificationTime(tree / "Copies/notes.txt", 1'700'000'000);
        test::setModificationTime(tree / "Copies/Trip/beach.jpg", 1'650'000'000);
        test::setModificationTime(tree / "Copies/Trip/Day2/sunset.jpg", 1'600'000'000);
        m_container = test::scanFolders({m_root}).container;
        QVERIFY(m_container);
        DuplicatesManager::sharedManager().setDuplicateContainer(m_container);
        m_beach = itemAt("Copies/Trip/beach.jpg");
        m_sunset = itemAt("Copies/Trip/Day2/sunset.jpg");
        m_notes = itemAt("Copies/notes.txt");
        QVERIFY(m_beach && m_sunset && m_notes);
        for (const auto& item : {m_beach, m_sunset, m_notes}) QVERIFY(item->selectItemForced(false));
        QCOMPARE(m_container->getItemsCountInRemoveList(), 3);
    }

private slots:
    void init() {
        m_sandbox = std::make_unique<test::GuiSandbox>();
        scanAndSelectCopies();
    }
    void cleanup() {
        DuplicatesManager::sharedManager().setDuplicateContainer(nullptr);
        m_beach.reset();
        m_sunset.reset();
        m_notes.reset();
        m_container.reset();
        m_sandbox.reset();
    }

    void theThreePresentationsAreBuiltFromTheSelectionAndStored() {
        auto asker = std::make_shared<QtQuestionAsker>(nullptr);
        ReviewPanel panel(asker);
        // Nothing stored: the file tree, by name.
        panel.open(m_container);
        ReviewModel* model = panel.model();
        QCOMPARE(model->presentationType(), SelectedItemsPresenter::kFileTree);
        QCOMPARE(model->copyCount(), std::size_t{3});
        QVERIFY(panel.presentationButton(SelectedItemsPresenter::kFileTree)->isChecked());
        QCOMPARE(panel.summaryLabel()->text(), QStringLiteral("3 copies selected for removal (8.8 kB)"));
        // The scanned folder at the top, by its path; then Copies, where the
        // file comes before the folder, and Trip with its own file before Day2.
        QCOMPARE(rowNames(*model), QStringList{QString::fromStdString(m_root)});
        const QModelIndex copies = child(*model, model->index(0, 0), QStringLiteral("Copies"));
        QVERIFY(copies.isValid());
        QCOMPARE(rowNames(*model, copies), (QStringList{QStringLiteral("notes.txt"), QStringLiteral("Trip")}));
        const QModelIndex trip = model->index(1, 0, copies);
        QCOMPARE(rowNames(*model, trip), (QStringList{QStringLiteral("beach.jpg"), QStringLiteral("Day2")}));
        QCOMPARE(rowNames(*model, model->index(1, 0, trip)), QStringList{QStringLiteral("sunset.jpg")});
        // A folder sums up the copies under it.
        QCOMPARE(text(*model, 1, copies, ReviewModel::folderColumn), QStringLiteral("2 copies"));
        QVERIFY(model->data(trip, ReviewModel::isFolderRole).toBool());
        QCOMPARE(model->itemAt(model->index(0, 0, trip)), m_beach);

        // By folder: one entry per folder holding a copy, each known by its
        // path; a folder and its sub-folder are separate entries.
        panel.presentationButton(SelectedItemsPresenter::kGroupedByFolders)->click();
        QCOMPARE(model->presentationType(), SelectedItemsPresenter::kGroupedByFolders);
        QCOMPARE(Settings::standard().getStringValueForKey("Selected Files Presentation"),
                 std::optional<std::string>("folders"));
        const QString root = QString::fromStdString(m_root);
        QCOMPARE(rowNames(*model), (QStringList{root + "/Copies", root + "/Copies/Trip", root + "/Copies/Trip/Day2"}));
        for (int row = 0; row < 3; ++row) QCOMPARE(model->rowCount(model->index(row, 0)), 1);

        // The plain list: the copies alone, with their folders beside them.
        panel.presentationButton(SelectedItemsPresenter::kPlainList)->click();
        QCOMPARE(Settings::standard().getStringValueForKey("Selected Files Presentation"),
                 std::optional<std::string>("plain"));
        QCOMPARE(rowNames(*model),
                 (QStringList{QStringLiteral("beach.jpg"), QStringLiteral("notes.txt"), QStringLiteral("sunset.jpg")}));
        QCOMPARE(text(*model, 0, {}, ReviewModel::folderColumn), root + "/Copies/Trip");
        QVERIFY(!panel.view()->isColumnHidden(ReviewModel::folderColumn));

        // A review opened later shows the stored presentation.
        ReviewPanel later(asker);
        later.open(m_container);
        QCOMPARE(later.model()->presentationType(), SelectedItemsPresenter::kPlainList);
        QVERIFY(later.presentationButton(SelectedItemsPresenter::kPlainList)->isChecked());
    }

    void theEightOrdersSortEveryLevelAndAreStored() {
        auto asker = std::make_shared<QtQuestionAsker>(nullptr);
        ReviewPanel panel(asker);
        panel.open(m_container);
        ReviewModel* model = panel.model();
        QToolButton* sort = panel.sortButton();
        QCOMPARE(sort->text(), QStringLiteral("Sort by Name"));
        QStringList titles;
        for (QAction* action : sort->menu()->actions())
            if (!action->isSeparator()) titles << action->text();
        QCOMPARE(titles, (QStringList{"Name: A to Z", "Name: Z to A", "Size: Large to Small", "Size: Small to Large",
                                      "Date: Newest to Oldest", "Date: Oldest to Newest", "Selected", "Type"}));

        panel.setPresentationType(SelectedItemsPresenter::kPlainList);
        auto orderAfter = [&](const QString& title) {
            for (QAction* action : sort->menu()->actions())
                if (action->text() == title) action->trigger();
            return rowNames(*model);
        };
        QCOMPARE(orderAfter("Size: Small to Large"),
                 (QStringList{QStringLiteral("notes.txt"), QStringLiteral("beach.jpg"), QStringLiteral("sunset.jpg")}));
        QCOMPARE(sort->text(), QStringLiteral("Sort by Size"));
        QCOMPARE(Settings::standard().getStringValueForKey("Selected Files Sort Type"),
                 std::optional<std::string>("Size. Small to Large"));
        QCOMPARE(orderAfter("Size: Large to Small"),
                 (QStringList{QStringLiteral("sunset.jpg"), QStringLiteral("beach.jpg"), QStringLiteral("notes.txt")}));
        QCOMPARE(orderAfter("Date: Oldest to Newest"),
                 (QStringList{QStringLiteral("sunset.jpg"), QStringLiteral("beach.jpg"), QStringLiteral("notes.txt")}));
        QCOMPARE(orderAfter("Date: Newest to Oldest"),
                 (QStringList{QStringLiteral("notes.txt"), QStringLiteral("beach.jpg"), QStringLiteral("sunset.jpg")}));
        QCOMPARE(sort->text(), QStringLiteral("Sort by Date"));
        // By category: the images before the text file.
        QCOMPARE(orderAfter("Type").back(), QStringLiteral("notes.txt"));
        QCOMPARE(sort->text(), QStringLiteral("Sort by Type"));
        QCOMPARE(orderAfter("Name: Z to A"),
                 (QStringList{QStringLiteral("sunset.jpg"), QStringLiteral("notes.txt"), QStringLiteral("beach.jpg")}));

        // In the file tree the order holds within every folder, folders after files.
        orderAfter("Size: Large to Small");
        panel.setPresentationType(SelectedItemsPresenter::kFileTree);
        const QModelIndex copies = child(*model, model->index(0, 0), QStringLiteral("Copies"));
        QCOMPARE(rowNames(*model, copies), (QStringList{QStringLiteral("notes.txt"), QStringLiteral("Trip")}));
        // The current row and what is expanded survive a sort.
        const QModelIndex trip = model->index(1, 0, copies);
        panel.view()->setCurrentIndex(model->index(0, 0, trip));
        panel.view()->expand(trip);
        orderAfter("Name: A to Z");
        QCOMPARE(model->itemAt(panel.view()->currentIndex()), m_beach);
        QVERIFY(panel.view()->isExpanded(child(*model, copies, QStringLiteral("Trip"))));

        // Another review hears of the change and follows it.
        ReviewPanel other(asker);
        other.open(m_container);
        other.setPresentationType(SelectedItemsPresenter::kPlainList);
        panel.setSortType(3);
        QCOMPARE(rowNames(*other.model()),
                 (QStringList{QStringLiteral("sunset.jpg"), QStringLiteral("beach.jpg"), QStringLiteral("notes.txt")}));
        QCOMPARE(other.sortButton()->text(), QStringLiteral("Sort by Size"));
    }

    void untickingInTheReviewDeselectsTheCopyAndRemovedCopiesLeave() {
        auto asker = std::make_shared<QtQuestionAsker>(nullptr);
        ReviewPanel panel(asker);
        panel.open(m_container);
        ReviewModel* model = panel.model();
        const QModelIndex notes = model->indexOfItem(*m_notes);
        QVERIFY(notes.isValid());
        QCOMPARE(model->data(notes, Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QVERIFY(model->setData(notes, Qt::Unchecked, Qt::CheckStateRole));
        QVERIFY(!m_notes->isSelected());
        QCOMPARE(m_container->getItemsCountInRemoveList(), 2);
        // The row stays, unticked, so that it can be ticked again.
        QCOMPARE(model->data(model->indexOfItem(*m_notes), Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QCOMPARE(panel.summaryLabel()->text(), QStringLiteral("2 copies selected for removal (8.0 kB)"));
        QVERIFY(model->setData(model->indexOfItem(*m_notes), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(m_notes->isSelected());

        // Both copies under Trip go: Trip goes with them, Copies keeps notes.txt.
        const QModelIndex copies = child(*model, model->index(0, 0), QStringLiteral("Copies"));
        const QPersistentModelIndex keep(model->indexOfItem(*m_notes));
        model->removeItems({m_beach, m_sunset});
        QCOMPARE(model->copyCount(), std::size_t{1});
        QCOMPARE(rowNames(*model, copies), QStringList{QStringLiteral("notes.txt")});
        QVERIFY(!model->indexOfItem(*m_beach).isValid());
        QCOMPARE(model->itemAt(keep), m_notes);
        // Nothing on disk changed: the review only follows what a removal did.
        QVERIFY(std::filesystem::exists(m_root + "/Copies/Trip/beach.jpg"));

        // A copy that stayed shows why, and keeps it across a rebuild.
        model->setErrorInfo(*m_notes, "Not removed: the file changed since the scan");
        panel.setPresentationType(SelectedItemsPresenter::kGroupedByFolders);
        const QModelIndex again = model->indexOfItem(*m_notes);
        QCOMPARE(model->data(again, ReviewModel::errorRole).toString(),
                 QStringLiteral("Not removed: the file changed since the scan"));
        QCOMPARE(model->data(again, Qt::ToolTipRole).toString(),
                 QStringLiteral("Not removed: the file changed since the scan"));
    }
};

QTEST_MAIN(ReviewPanelTest)
#include "ReviewPanelTest.moc"
