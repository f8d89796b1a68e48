// The item models of the results over a real scan: the groups list with its
// order, search and ticking under the keep-one-copy rule; the categories;
// the similar-folder pairs, ticking a folder of a pair, and the files of one pair.
#include "GuiTestSupport.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "folders/DuplicatesHeap.h"
#include "scan/FolderSystemItem.h"
#include "gui/CategoriesModel.h"
#include "gui/GroupsModel.h"
#include "gui/PairFilesModel.h"
#include "gui/QtQuestionAsker.h"
#include "gui/ResultsScreen.h"
#include "gui/SimilarFoldersModel.h"
#include "selection/SimilarFolderSelection.h"
#include "settings/Settings.h"
#include "support/ScanTestSupport.h"

#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

using namespace kestrane;
using namespace kestrane::gui;

namespace {

QString name(const QAbstractItemModel& model, int row, const QModelIndex& parent = {}) {
    return model.data(model.index(row, 0, parent)).toString();
}

}  // namespace

class ResultModelsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::GuiSandbox> m_sandbox;
    std::shared_ptr<DuplicatesContainer> m_container;
    std::string m_root;

    // Album and Backup share three photos (a similar-folder pair); each has
    // a file of its own. Docs holds a small and a large pair of documents.
    void scanTree() {
        test::TempDir& tree = m_sandbox->tree();
        m_root = tree.path();
        for (const char* folder : {"Album", "Backup"}) {
            tree.writeFile(std::string(folder) + "/beach.jpg", test::noise(3000, 1));
            tree.writeFile(std::string(folder) + "/forest.jpg", test::noise(2000, 2));
            tree.writeFile(std::string(folder) + "/zebra.jpg", test::noise(1000, 3));
        }
        tree.writeFile("Album/only-in-album.txt", "album");
        tree.writeFile("Backup/only-in-backup.txt", "backup!");
        tree.writeFile("Docs/letter.txt", test::noise(500, 4));
        tree.writeFile("Docs/letter copy.txt", test::noise(500, 4));
        tree.writeFile("Docs/Old/Thesis.txt", test::noise(9000, 5));
        tree.writeFile("Docs/thesis.txt", test::noise(9000, 5));
        auto outcome = test::scanFolders({m_root});
        m_container = outcome.container;
    }

    std::shared_ptr<DuplicatesCategory> category(FileCategory type) const {
        return m_container->getCategoryWithType(type);
    }

private slots:
    void init() {
        m_sandbox = std::make_unique<test::GuiSandbox>();
        scanTree();
        QVERIFY(m_container);
    }
    void cleanup() {
        m_container.reset();
        m_sandbox.reset();
    }

    void groupsAreSortedByTheStoredListOrderAndSearchedByNameOrFolder() {
        GroupsModel model;
        model.setGroups(category(FileCategory::image)->getGroups());
        QCOMPARE(model.rowCount(), 3);
        // Largest first by default.
        QCOMPARE(name(model, 0), QStringLiteral("beach.jpg"));
        QCOMPARE(name(model, 2), QStringLiteral("zebra.jpg"));
        model.setSortType(GroupsModel::byName, false);
        QCOMPARE(name(model, 0), QStringLiteral("beach.jpg"));
        QCOMPARE(name(model, 1), QStringLiteral("forest.jpg"));
        model.setSortType(GroupsModel::byName, true);
        QCOMPARE(name(model, 0), QStringLiteral("zebra.jpg"));
        model.setSortType(GroupsModel::bySize, false);
        QCOMPARE(name(model, 0), QStringLiteral("zebra.jpg"));

        // The copies of a group are its children, with their folder and size.
        const QModelIndex zebra = model.index(0, 0);
        QCOMPARE(model.rowCount(zebra), 2);
        QStringList folders;
        for (int row = 0; row < 2; ++row)
            folders << model.data(model.index(row, GroupsModel::folderColumn, zebra)).toString();
        folders.sort();
        QCOMPARE(folders, (QStringList{QString::fromStdString(m_root + "/Album"),
                                       QString::fromStdString(m_root + "/Backup")}));
        QCOMPARE(model.data(model.index(0, GroupsModel::sizeColumn, zebra)).toString(), QStringLiteral("1.0 kB"));

        model.setFilterText(QStringLiteral("FOREST"));
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(name(model, 0), QStringLiteral("forest.jpg"));
        // A folder's name finds every group with a copy in it.
        model.setGroups(category(FileCategory::document)->getGroups());
        model.setFilterText(QStringLiteral("/old"));
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.rowCount(model.index(0, 0)), 2);
        model.setFilterText({});
        QCOMPARE(model.rowCount(), 2);
    }

    void resortingKeepsTheCurrentCopy() {
        GroupsModel model;
        model.setGroups(category(FileCategory::image)->getGroups());
        const QPersistentModelIndex copy = model.index(1, 0, model.index(0, 0));  // a copy of beach.jpg
        const auto item = model.itemAt(copy);
        QVERIFY(item);
        model.setSortType(GroupsModel::bySize, false);
        QVERIFY(copy.isValid());
        QCOMPARE(model.itemAt(copy), item);
        QCOMPARE(copy.parent().row(), 2);
    }

    void tickingFollowsTheKeepOneCopyRule() {
        GroupsModel model;
        model.setGroups(category(FileCategory::image)->getGroups());
        const QModelIndex group = model.index(0, 0);
        const QModelIndex first = model.index(0, 0, group);
        const QModelIndex second = model.index(1, 0, group);
        QSignalSpy repainted(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy refused(&model, &GroupsModel::lastCopyRefused);

        QVERIFY(model.setData(first, Qt::Checked, Qt::CheckStateRole));
        QCOMPARE(model.data(first, Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QVERIFY(model.itemAt(first)->isSelected());
        QVERIFY(!repainted.isEmpty());
        QVERIFY(model.data(group, Qt::DisplayRole).isValid());
        QCOMPARE(model.data(model.index(0, GroupsModel::folderColumn), Qt::DisplayRole).toString(),
                 QStringLiteral("2 copies, 1 selected"));

        // The other copy is the last one: refused, with the explanation as its tooltip.
        QVERIFY(!model.setData(second, Qt::Checked, Qt::CheckStateRole));
        QCOMPARE(refused.count(), 1);
        const QString tooltip = QStringLiteral(
            "This file is the last unselected copy of duplicates. If you want to select all copies change the "
            "option in Preferences.");
        QCOMPARE(refused.first().at(1).toString(), tooltip);
        QCOMPARE(model.data(second, Qt::ToolTipRole).toString(), tooltip);
        QVERIFY(!model.itemAt(second)->isSelected());

        // Allowed, the last copy wants a confirmation first.
        Settings::standard().setAllowRemovingAllDuplicateCopies(true);
        QSignalSpy confirmation(&model, &GroupsModel::confirmationNeeded);
        QVERIFY(!model.setData(second, Qt::Checked, Qt::CheckStateRole));
        QCOMPARE(confirmation.count(), 1);
        QVERIFY(!model.itemAt(second)->isSelected());

        // Unticking works at any time.
        QVERIFY(model.setData(first, Qt::Unchecked, Qt::CheckStateRole));
        QVERIFY(!model.itemAt(first)->isSelected());
        QCOMPARE(model.flags(group) & Qt::ItemIsUserCheckable, Qt::ItemFlags());
        QVERIFY(model.flags(first) & Qt::ItemIsUserCheckable);
    }

    void categoriesShowTheirFiguresAndTheSimilarFolders() {
        CategoriesModel model;
        model.setContainer(m_container);
        QStringList titles;
        for (int row = 0; row < model.rowCount(); ++row) titles << name(model, row);
        QCOMPARE(titles, (QStringList{QStringLiteral("Images"), QStringLiteral("Documents"),
                                      QStringLiteral("Similar Folders")}));
        QCOMPARE(model.categoryAt(0), std::optional<FileCategory>(FileCategory::image));
        QVERIFY(model.isSimilarFoldersRow(2));
        QCOMPARE(model.data(model.index(0), CategoriesModel::subtitleRole).toString(),
                 QStringLiteral("3 groups · 12.0 kB"));
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        auto group = category(FileCategory::image)->getGroups().front();
        QVERIFY(group->getItems().front()->selectItemForced(false));
        QVERIFY(!changed.isEmpty());
        QVERIFY(model.data(model.index(0), CategoriesModel::subtitleRole).toString().endsWith(QStringLiteral("selected")));
    }

    void aSimilarPairShowsItsSharedAndUniqueFilesOnEachSide() {
        SimilarFoldersModel pairs;
        pairs.setContainer(m_container);
        QCOMPARE(pairs.rowCount(), 1);
        QStringList folders{pairs.data(pairs.index(0, SimilarFoldersModel::folderColumn)).toString(),
                            pairs.data(pairs.index(0, SimilarFoldersModel::similarFolderColumn)).toString()};
        folders.sort();
        // Two folders of one name stay apart: the folder above shows too.
        QVERIFY2(folders[0].endsWith(QStringLiteral("/Album")) && folders[1].endsWith(QStringLiteral("/Backup")),
                 qPrintable(folders.join(QLatin1Char(' '))));
        QCOMPARE(pairs.data(pairs.index(0, SimilarFoldersModel::sharedColumn)).toString(), QStringLiteral("3 files"));

        for (auto side : {PairFilesModel::mainSide, PairFilesModel::secondSide}) {
            PairFilesModel files(side);
            files.setHeap(pairs.heapAt(0));
            const QModelIndex shared = files.index(PairFilesModel::duplicatesSection, 0);
            const QModelIndex unique = files.index(PairFilesModel::uniqueSection, 0);
            QCOMPARE(files.rowCount(shared), 3);
            QCOMPARE(files.rowCount(unique), 1);
            const bool album = files.folderPath().ends_with("/Album");
            QCOMPARE(name(files, 0, unique), album ? QStringLiteral("only-in-album.txt")
                                                   : QStringLiteral("only-in-backup.txt"));
            QCOMPARE(name(files, PairFilesModel::uniqueSection), QStringLiteral("Unique Files (1)"));
            // Shared copies are ticked under the rule of the similar-folder screens.
            QVERIFY(files.flags(files.index(0, 0, shared)) & Qt::ItemIsUserCheckable);
            QVERIFY(!(files.flags(files.index(0, 0, unique)) & Qt::ItemIsUserCheckable));
        }
        PairFilesModel main(PairFilesModel::mainSide), second(PairFilesModel::secondSide);
        main.setHeap(pairs.heapAt(0));
        second.setHeap(pairs.heapAt(0));
        const QModelIndex mainCopy = main.index(0, 0, main.index(PairFilesModel::duplicatesSection, 0));
        QVERIFY(main.setData(mainCopy, Qt::Checked, Qt::CheckStateRole));
        // The same file's copy on the other side is now the last one.
        const auto twin = std::find_if(second.sharedItems().begin(), second.sharedItems().end(), [&](const auto& item) {
            return item->getGroup() == main.itemAt(mainCopy)->getGroup();
        });
        QVERIFY(twin != second.sharedItems().end());
        const QModelIndex twinIndex = second.index(static_cast<int>(twin - second.sharedItems().begin()), 0,
                                                   second.index(PairFilesModel::duplicatesSection, 0));
        QSignalSpy refused(&second, &PairFilesModel::lastCopyRefused);
        QVERIFY(!second.setData(twinIndex, Qt::Checked, Qt::CheckStateRole));
        QCOMPARE(refused.count(), 1);
    }

    void aFolderOfAPairIsTickedWholeAndTheOtherKeepsTheLastCopies() {
        SimilarFoldersModel pairs;
        pairs.setContainer(m_container);
        const QModelIndex main = pairs.index(0, SimilarFoldersModel::folderColumn);
        const QModelIndex second = pairs.index(0, SimilarFoldersModel::similarFolderColumn);
        QVERIFY(pairs.flags(main) & Qt::ItemIsUserCheckable);
        QVERIFY(!(pairs.flags(pairs.index(0, SimilarFoldersModel::sizeColumn)) & Qt::ItemIsUserCheckable));
        QCOMPARE(pairs.data(main, Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        const auto mainCopies = SimilarFolderSelection::itemsOfPairSide(*pairs.heapAt(0), true);
        const auto secondCopies = SimilarFolderSelection::itemsOfPairSide(*pairs.heapAt(0), false);
        QCOMPARE(mainCopies.size(), std::size_t{3});

        QVERIFY(pairs.setData(main, Qt::Checked, Qt::CheckStateRole));
        QVERIFY(std::all_of(mainCopies.begin(), mainCopies.end(), [](const auto& item) { return item->isSelected(); }));
        QCOMPARE(pairs.data(main, Qt::CheckStateRole).toInt(), int(Qt::Checked));
        // The other folder holds the last copies now: ticking it selects nothing, and its tooltip says why.
        QCOMPARE(pairs.data(second, Qt::ToolTipRole).toString(),
                 QString::fromLatin1(SimilarFolderSelection::kNoneSelectedLastCopiesText));
        QVERIFY(pairs.setData(second, Qt::Checked, Qt::CheckStateRole));
        QVERIFY(std::none_of(secondCopies.begin(), secondCopies.end(), [](const auto& item) { return item->isSelected(); }));

        // With every copy allowed to go, the last copies are confirmed first.
        Settings::standard().setAllowRemovingAllDuplicateCopies(true);
        QSignalSpy asked(&pairs, &SimilarFoldersModel::confirmationNeeded);
        QVERIFY(pairs.setData(second, Qt::Checked, Qt::CheckStateRole));
        QCOMPARE(asked.count(), 1);
        QVERIFY(std::none_of(secondCopies.begin(), secondCopies.end(), [](const auto& item) { return item->isSelected(); }));
        pairs.setSideSelected(second, true, true);
        QVERIFY(std::all_of(secondCopies.begin(), secondCopies.end(), [](const auto& item) { return item->isSelected(); }));

        // Unticking deselects the folder's copies only.
        QVERIFY(pairs.setData(main, Qt::Unchecked, Qt::CheckStateRole));
        QVERIFY(std::none_of(mainCopies.begin(), mainCopies.end(), [](const auto& item) { return item->isSelected(); }));
        QCOMPARE(pairs.data(second, Qt::CheckStateRole).toInt(), int(Qt::Checked));

        // On the results screen the question is asked; its box turns it off.
        auto asker = std::make_shared<QtQuestionAsker>(nullptr);
        ResultsScreen screen(asker);
        screen.setContainer(m_container);
        SimilarFoldersModel* shown = screen.similarFoldersModel();
        const QModelIndex mainShown = shown->index(0, SimilarFoldersModel::folderColumn);
        QVERIFY(shown->setData(mainShown, Qt::Checked, Qt::CheckStateRole));
        QMessageBox* box = test::waitForQuestion(*asker);
        QVERIFY(box);
        QCOMPARE(box->text(), QStringLiteral("Attention"));
        const QString folderName = QString::fromStdString(pairs.heapAt(0)->getMainFolderItem()->path()).section('/', -1);
        QCOMPARE(box->informativeText(), QStringLiteral("You are selecting the last copies of duplicates in the folder \"%1\" "
                                                        "including the original ones.").arg(folderName));
        QVERIFY(test::answerQuestion(box, QStringLiteral("OK"), true));
        QVERIFY(test::waitUntil([&] { return shown->data(mainShown, Qt::CheckStateRole).toInt() == Qt::Checked; }));
        QVERIFY(!Settings::standard().showRemoveLastInHeapsMessage());
    }

    void aFolderIsTickedInEveryPairItIsPartOf() {
        // Hub shares two photos with Left and two others with Right: two pairs.
        test::TempDir tree;
        for (const auto& [other, seed] : {std::pair{"Left", 61}, std::pair{"Right", 71}}) {
            for (int photo = 0; photo < 2; ++photo) {
                const std::string content = test::noise(2000 + 100 * photo, seed + photo);
                tree.writeFile("Hub/" + std::string(other) + std::to_string(photo) + ".jpg", content);
                tree.writeFile(std::string(other) + "/" + std::to_string(photo) + ".jpg", content);
            }
            tree.writeFile(std::string(other) + "/own.txt", other);
        }
        tree.writeFile("Hub/own.txt", "hub");
        const auto container = test::scanFolders({tree.path()}).container;
        QVERIFY(container);
        auto asker = std::make_shared<QtQuestionAsker>(nullptr);
        ResultsScreen screen(asker);
        screen.setContainer(container);
        SimilarFoldersModel* pairs = screen.similarFoldersModel();
        QCOMPARE(pairs->rowCount(), 2);
        QModelIndex hub;
        for (int column : {SimilarFoldersModel::folderColumn, SimilarFoldersModel::similarFolderColumn})
            if (pairs->index(0, column).data(Qt::ToolTipRole).toString().endsWith(QStringLiteral("/Hub")))
                hub = pairs->index(0, column);
        QVERIFY(hub.isValid());
        auto selectedPaths = [&] {
            QStringList paths;
            for (const auto& item : container->buildRemoveList())
                paths << QString::fromStdString(item->getFileItemPath().substr(tree.path().size() + 1));
            paths.sort();
            return paths;
        };
        screen.setFolderSelectedInAllPairs(hub, true);
        QCOMPARE(selectedPaths(), (QStringList{"Hub/Left0.jpg", "Hub/Left1.jpg", "Hub/Right0.jpg", "Hub/Right1.jpg"}));
        QVERIFY(!asker->currentBox());
        // Both rows show Hub ticked.
        for (int row = 0; row < 2; ++row) {
            const QModelIndex main = pairs->index(row, SimilarFoldersModel::folderColumn);
            const QModelIndex side = main.data(Qt::ToolTipRole).toString().endsWith(QStringLiteral("/Hub"))
                                         ? main
                                         : pairs->index(row, SimilarFoldersModel::similarFolderColumn);
            QCOMPARE(side.data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        }
        screen.setFolderSelectedInAllPairs(hub, false);
        QVERIFY(selectedPaths().isEmpty());
    }
};

QTEST_MAIN(ResultModelsTest)
#include "ResultModelsTest.moc"
