// Selecting in folders through the window, over a real scan: the tree opens
// on the folder with the most duplicates, its counters follow the folder
// checkbox and the keep star, the content of a folder lists its groups and
// other files, a duplicate folder is confirmed before it is selected, and
// closing the window closes the tree first.
#include "GuiTestSupport.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesManager.h"
#include "gui/FolderTreeModel.h"
#include "gui/FolderTreePanel.h"
#include "gui/MainWindow.h"
#include "gui/QtQuestionAsker.h"
#include "gui/ResultsScreen.h"
#include "gui/WelcomeScreen.h"
#include "selection/FolderSelection.h"
#include "settings/Settings.h"

#include <QAction>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

using namespace kestrane;
using namespace kestrane::gui;

namespace {

QStringList removeListPaths(const std::string& root) {
    QStringList paths;
    if (const auto container = DuplicatesManager::sharedManager().duplicateContainer())
        for (const auto& item : container->buildRemoveList())
            paths << QString::fromStdString(item->getFileItemPath().substr(root.size() + 1));
    paths.sort();
    return paths;
}

QModelIndex childNamed(const QAbstractItemModel& model, const QModelIndex& parent, const QString& name) {
    for (int row = 0; row < model.rowCount(parent); ++row)
        if (model.index(row, 0, parent).data().toString() == name) return model.index(row, 0, parent);
    return {};
}

QString cell(const QModelIndex& folder, int column) {
    return folder.sibling(folder.row(), column).data().toString();
}

}  // namespace

class FolderTreeTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::GuiSandbox> m_sandbox;

private slots:
    void init() { m_sandbox = std::make_unique<test::GuiSandbox>(); }
    void cleanup() {
        DuplicatesManager::sharedManager().setDuplicateContainer(nullptr);
        m_sandbox.reset();
    }

    void foldersAreSelectedAndKeptFromTheTree() {
        test::TempDir& tree = m_sandbox->tree();
        const std::string root = tree.path();
        // Photos/2019 and Backup share two photos and each has a file of its
        // own; Dup1 and Dup2 are identical folders.
        for (const char* folder : {"Photos/2019", "Backup"}) {
            tree.writeFile(std::string(folder) + "/a.jpg", test::noise(3000, 51));
            tree.writeFile(std::string(folder) + "/b.jpg", test::noise(2000, 52));
        }
        tree.writeFile("Photos/2019/own.jpg", test::noise(1000, 53));
        tree.writeFile("Backup/notes.txt", "only in the backup");
        for (const char* folder : {"Dup1", "Dup2"}) {
            tree.writeFile(std::string(folder) + "/x.txt", test::noise(700, 54));
            tree.writeFile(std::string(folder) + "/y.txt", test::noise(600, 55));
        }
        Settings settings = Settings::standard();
        settings.setDefineMinimalDuplicatesFileSizeAutomatically(false);
        settings.setDefineMinimalDuplicatesFileSizeAsZero(true);

        MainWindow window;
        window.show();
        window.dropPaths({root});
        QVERIFY(test::waitUntil([&] { return window.welcomeScreen()->startButton()->isEnabled(); }));
        window.action(QStringLiteral("scan"))->trigger();
        QVERIFY(test::waitUntil([&] { return window.currentScreen() == window.resultsScreen(); }));
        QAction* selectInFolder = window.action(QStringLiteral("selectInFolder"));
        QVERIFY(selectInFolder->isEnabled());
        selectInFolder->trigger();
        FolderTreePanel* panel = window.folderTreePanel();
        QCOMPARE(window.currentScreen(), static_cast<QWidget*>(panel));
        QVERIFY(!selectInFolder->isEnabled());
        QVERIFY(test::waitUntil([&] { return panel->isReady(); }));
        FolderTreeModel* model = panel->model();
        QTreeView* view = panel->view();

        // The scanned folder at the top; below it the folders with duplicates
        // first, by name. The tree opens on a folder with the most.
        QCOMPARE(model->rowCount(), 1);
        const QModelIndex top = model->index(0, 0);
        QCOMPARE(cell(top, FolderTreeModel::duplicatesColumn), QStringLiteral("0"));
        QVERIFY(!(model->flags(top) & Qt::ItemIsUserCheckable));
        QStringList names;
        for (int row = 0; row < model->rowCount(top); ++row) names << model->index(row, 0, top).data().toString();
        QCOMPARE(names, (QStringList{"Backup", "Dup1", "Dup2", "Photos"}));
        const QModelIndex backup = childNamed(*model, top, QStringLiteral("Backup"));
        // (Backup or Photos, whichever the folder lists first: both hold two.)
        QCOMPARE(view->currentIndex().parent(), top);
        QCOMPARE(cell(view->currentIndex(), FolderTreeModel::duplicatesColumn), QStringLiteral("2"));
        view->setCurrentIndex(backup);
        QCOMPARE(cell(backup, FolderTreeModel::duplicatesColumn), QStringLiteral("2"));
        QCOMPARE(cell(backup, FolderTreeModel::selectedColumn), QStringLiteral("0"));
        QCOMPARE(cell(backup, FolderTreeModel::keptColumn), QStringLiteral("2"));
        QCOMPARE(cell(backup, FolderTreeModel::otherFilesColumn), QStringLiteral("1"));
        const QModelIndex photos = childNamed(*model, top, QStringLiteral("Photos"));
        QCOMPARE(cell(photos, FolderTreeModel::otherFilesColumn), QStringLiteral("1"));
        const QModelIndex year = childNamed(*model, photos, QStringLiteral("2019"));
        QCOMPARE(cell(year, FolderTreeModel::duplicatesColumn), QStringLiteral("2"));
        // A duplicate folder counts itself.
        QCOMPARE(cell(childNamed(*model, top, QStringLiteral("Dup2")), FolderTreeModel::duplicatesColumn),
                 QStringLiteral("1"));

        // The content of Backup: its two groups, each with the copy here and
        // the one elsewhere, then its other file.
        QTreeWidget* content = panel->contentView();
        QCOMPARE(content->topLevelItemCount(), 2);
        QCOMPARE(content->topLevelItem(0)->text(0), QStringLiteral("Duplicate Files"));
        QCOMPARE(content->topLevelItem(0)->childCount(), 2);
        QCOMPARE(content->topLevelItem(0)->child(0)->text(2), QStringLiteral("1 here, 1 elsewhere"));
        QCOMPARE(content->topLevelItem(1)->text(0), QStringLiteral("Other Files"));
        QCOMPARE(content->topLevelItem(1)->childCount(), 1);
        QCOMPARE(content->topLevelItem(1)->child(0)->text(0), QStringLiteral("notes.txt"));
        // The scanned folder holds every copy: no duplicates of its own.
        view->setCurrentIndex(top);
        QCOMPARE(content->topLevelItem(0)->child(0)->text(0),
                 QStringLiteral("No duplicate files in the folder. There are duplicates in the subfolders."));

        // The checkbox selects the folder's duplicates; the counters follow.
        QVERIFY(model->setData(backup, Qt::Checked, Qt::CheckStateRole));
        QCOMPARE(removeListPaths(root), (QStringList{"Backup/a.jpg", "Backup/b.jpg"}));
        QVERIFY(test::waitUntil([&] { return cell(backup, FolderTreeModel::keptColumn) == QStringLiteral("0"); }));
        QCOMPARE(cell(backup, FolderTreeModel::selectedColumn), QStringLiteral("2 (5.0 kB)"));
        QCOMPARE(backup.data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QCOMPARE(cell(year, FolderTreeModel::selectedColumn), QStringLiteral("0"));
        view->setCurrentIndex(backup);
        QCOMPARE(content->topLevelItem(0)->child(0)->child(0)->text(3), QStringLiteral("Selected for removal"));
        QVERIFY(model->setData(backup, Qt::Unchecked, Qt::CheckStateRole));
        QVERIFY(removeListPaths(root).isEmpty());
        QVERIFY(test::waitUntil([&] { return backup.data(Qt::CheckStateRole).toInt() == int(Qt::Unchecked); }));

        // The star of 2019 keeps its files: their copies in Backup are selected.
        view->expand(photos);
        const QModelIndex star = year.siblingAtColumn(FolderTreeModel::keepColumn);
        QCOMPARE(star.data(Qt::ToolTipRole).toString(), QString::fromLatin1(FolderSelection::kKeepFilesHint));
        view->scrollTo(star);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(star).center());
        QVERIFY(star.data(FolderTreeModel::favoriteRole).toBool());
        QCOMPARE(star.data(Qt::ToolTipRole).toString(), QString::fromLatin1(FolderSelection::kDeselectExternalHint));
        QCOMPARE(removeListPaths(root), (QStringList{"Backup/a.jpg", "Backup/b.jpg"}));
        QVERIFY(test::waitUntil([&] { return backup.data(Qt::CheckStateRole).toInt() == int(Qt::Checked); }));
        QCOMPARE(cell(year, FolderTreeModel::keptColumn), QStringLiteral("2"));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(star).center());
        QVERIFY(!star.data(FolderTreeModel::favoriteRole).toBool());
        QVERIFY(removeListPaths(root).isEmpty());

        // A duplicate folder is confirmed first; Cancel selects nothing.
        const QModelIndex dup2 = childNamed(*model, top, QStringLiteral("Dup2"));
        QVERIFY(model->setData(dup2, Qt::Checked, Qt::CheckStateRole));
        QMessageBox* box = test::waitForQuestion(window.questions());
        QVERIFY(box);
        QCOMPARE(box->text(), QStringLiteral("\"Dup2\" is a duplicate folder"));
        QCOMPARE(box->informativeText(), QStringLiteral("This folder will be removed along with its files."));
        QVERIFY(test::answerQuestion(box, QStringLiteral("Cancel")));
        QVERIFY(test::waitUntil([&] { return !window.questions().currentBox(); }));
        QVERIFY(removeListPaths(root).isEmpty());
        QVERIFY(model->setData(dup2, Qt::Checked, Qt::CheckStateRole));
        box = test::waitForQuestion(window.questions());
        QVERIFY(box);
        QVERIFY(test::answerQuestion(box, QStringLiteral("OK")));
        QVERIFY(test::waitUntil([&] { return removeListPaths(root).contains(QStringLiteral("Dup2")); }));
        QVERIFY(test::waitUntil([&] { return dup2.data(Qt::CheckStateRole).toInt() == int(Qt::Checked); }));

        // Closing the window closes the tree first; the selection stays for the review.
        window.close();
        QVERIFY(window.isVisible());
        QCOMPARE(window.currentScreen(), static_cast<QWidget*>(window.resultsScreen()));
        QVERIFY(window.action(QStringLiteral("review"))->isEnabled());
        QVERIFY(selectInFolder->isEnabled());
    }
};

QTEST_MAIN(FolderTreeTest)
#include "FolderTreeTest.moc"
