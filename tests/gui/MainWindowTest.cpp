// The window driven as a person would: folders dropped and asked about,
// a scan, the results, ticking, the summary, new scan and quitting; and the
// pieces under it (the main queue in Qt's event loop, questions as boxes).
#include "GuiTestSupport.h"

#include "app/ScanFlowController.h"
#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesManager.h"
#include "gui/CategoriesModel.h"
#include "gui/GroupsModel.h"
#include "gui/MainQueueBridge.h"
#include "gui/MainWindow.h"
#include "gui/MessageScreen.h"
#include "gui/PreviewPane.h"
#include "gui/QtQuestionAsker.h"
#include "gui/ResultsScreen.h"
#include "gui/ScanScreen.h"
#include "gui/WelcomeScreen.h"
#include "platform/MainQueue.h"
#include "settings/Settings.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

#include <atomic>
#include <thread>

using namespace kestrane;
using namespace kestrane::gui;

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::GuiSandbox> m_sandbox;

    QStringList folderNames(const MainWindow& window) const {
        QStringList names;
        QTreeWidget* list = window.welcomeScreen()->folderList();
        for (int row = 0; row < list->topLevelItemCount(); ++row) names << list->topLevelItem(row)->text(0);
        return names;
    }

private slots:
    void init() { m_sandbox = std::make_unique<test::GuiSandbox>(); }
    void cleanup() {
        DuplicatesManager::sharedManager().setDuplicateContainer(nullptr);
        m_sandbox.reset();
    }

    void theMainQueueRunsInQtsEventLoopInBatches() {
        // Posted from another thread: runs on the GUI thread without anyone calling the queue.
        std::atomic<bool> ranOnMainThread{false};
        std::thread poster([&] {
            platform::MainQueue::shared().async([&] { ranOnMainThread = platform::MainQueue::isMainThread(); });
        });
        poster.join();
        QVERIFY(test::waitUntil([&] { return ranOnMainThread.load(); }, 5000));

        // A long burst is run in bounded batches: the first drain leaves the rest for later.
        int ran = 0;
        for (int i = 0; i < MainQueueBridge::kTasksPerDrain * 3; ++i)
            platform::MainQueue::shared().async([&] { ++ran; });
        MainQueueBridge::drain();
        QCOMPARE(ran, MainQueueBridge::kTasksPerDrain);
        QVERIFY(test::waitUntil([&] { return ran == MainQueueBridge::kTasksPerDrain * 3; }, 5000));
    }

    void questionsShowTheirExactTextsOneAtATime() {
        QWidget parent;
        QtQuestionAsker asker(&parent);
        std::vector<Answer> answers;
        Question first{.kind = "scan.newScan",
                       .title = "Are you sure you want to run a new scan?",
                       .text = "Current scan results will be lost.",
                       .buttons = {"OK", "Cancel"},
                       .yesButton = 0,
                       .safeButton = 1,
                       .suppressionTitle = "Do not show this message again"};
        asker.ask(first, [&](Answer answer) { answers.push_back(answer); });
        asker.ask(Question{.kind = "x", .title = "Second", .buttons = {"OK"}},
                  [&](Answer answer) { answers.push_back(answer); });
        QMessageBox* box = test::waitForQuestion(asker);
        QVERIFY(box);
        QCOMPARE(box->text(), QStringLiteral("Are you sure you want to run a new scan?"));
        QCOMPARE(box->informativeText(), QStringLiteral("Current scan results will be lost."));
        QCOMPARE(box->buttons().size(), 2);
        QVERIFY(box->checkBox());
        QCOMPARE(box->checkBox()->text(), QStringLiteral("Do not show this message again"));
        QCOMPARE(asker.waitingCount(), std::size_t(2));
        // Escape picks the safe answer.
        QTest::keyClick(box, Qt::Key_Escape);
        QVERIFY(test::waitUntil([&] { return answers.size() == 1; }));
        QCOMPARE(answers[0].button, std::size_t(1));
        QMessageBox* second = test::waitForQuestion(asker);
        QVERIFY(second && second != box);
        QCOMPARE(second->text(), QStringLiteral("Second"));
        QVERIFY(test::answerQuestion(second, QStringLiteral("OK")));
        QVERIFY(test::waitUntil([&] { return answers.size() == 2; }));
        QCOMPARE(answers[1].button, std::size_t(0));
    }

    void aCleanUpFromFoldersToResultsAndBack() {
        test::TempDir& tree = m_sandbox->tree();
        tree.writeFile("Photos/a.jpg", test::noise(4000, 7));
        tree.writeFile("Photos/b.jpg", test::noise(3000, 8));
        tree.writeFile("Copies/a.jpg", test::noise(4000, 7));
        tree.writeFile("Copies/b copy.jpg", test::noise(3000, 8));
        tree.writeFile("Copies/only here.txt", "so that the folders are not copies of each other");
        tree.writeFile("Notes/todo.txt", "unique");
        Settings settings = Settings::standard();
        settings.setDefineMinimalDuplicatesFileSizeAutomatically(false);
        settings.setDefineMinimalDuplicatesFileSizeAsZero(true);
        // Notes is on the skip list: adding it asks first.
        settings.setExcludeFolders(std::vector<std::string>{tree / "Notes"});

        MainWindow window;
        window.show();
        QCOMPARE(window.currentScreen(), static_cast<QWidget*>(window.welcomeScreen()));
        QCOMPARE(window.welcomeScreen()->countLabel()->text(), QStringLiteral("Add folders to scan"));
        QVERIFY(!window.welcomeScreen()->startButton()->isEnabled());

        window.dropPaths({tree / "Photos", tree / "Copies", tree / "Notes"});
        QMessageBox* box = test::waitForQuestion(window.questions());
        QVERIFY(box);
        QCOMPARE(box->text(), QStringLiteral("The folder \"Notes\" is added to the Skip List."));
        QCOMPARE(box->informativeText(), QStringLiteral("Would you like to scan the folder anyway?"));
        // The other two wait for the answer.
        QCOMPARE(window.welcomeScreen()->folderList()->topLevelItemCount(), 0);
        QVERIFY(test::answerQuestion(box, QStringLiteral("Skip")));
        QVERIFY(test::waitUntil([&] { return window.welcomeScreen()->folderList()->topLevelItemCount() == 2; }));
        // The last path is checked first; each goes to the front.
        QCOMPARE(folderNames(window), (QStringList{QStringLiteral("Photos"), QStringLiteral("Copies")}));
        QCOMPARE(window.welcomeScreen()->countLabel()->text(), QStringLiteral("2 folders added"));
        QCOMPARE(settings.lastTenFolders(), (std::vector<std::string>{tree / "Photos", tree / "Copies"}));

        // Alt held: the full-scale form of the button.
        QTest::keyPress(&window, Qt::Key_Alt);
        QCOMPARE(window.welcomeScreen()->startButton()->text(), QStringLiteral("Full-scale Scan"));
        QCOMPARE(window.welcomeScreen()->startButton()->toolTip(),
                 QStringLiteral("Full-scale duplicates scan. It will be slower scan."));
        QTest::keyRelease(&window, Qt::Key_Alt);
        QCOMPARE(window.welcomeScreen()->startButton()->text(), QStringLiteral("Find duplicates"));

        window.welcomeScreen()->startButton()->click();
        QVERIFY(test::waitUntil([&] { return window.currentScreen() == window.resultsScreen(); }));
        QCOMPARE(window.scanScreen()->descriptionLabel()->text(), QStringLiteral("Done"));
        QCOMPARE(window.scanScreen()->progressBar()->value(), ScanScreen::kProgressRange);

        ResultsScreen* results = window.resultsScreen();
        GroupsModel* groups = results->groupsModel();
        QCOMPARE(results->categoriesModel()->data(results->categoriesModel()->index(0)).toString(),
                 QStringLiteral("Images"));
        QCOMPARE(groups->rowCount(), 2);
        // The first copy of the largest group is current and previewed.
        QVERIFY(results->currentPath().ends_with("a.jpg"));
        QCOMPARE(results->previewPane()->path(), results->currentPath());

        // Ticking a copy in the view (space on the current row).
        QTreeView* view = results->groupsView();
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Space);
        QVERIFY(test::waitUntil([&] { return groups->itemAt(view->currentIndex())->isSelected(); }, 2000));
        QVERIFY(results->selectionSummary()->text().startsWith(QStringLiteral("1 copy selected for removal")));

        // Search narrows the list.
        window.action(QStringLiteral("find"))->trigger();
        QVERIFY(results->searchField()->hasFocus() || !window.isActiveWindow());
        results->searchField()->setText(QStringLiteral("b copy"));
        QVERIFY(test::waitUntil([&] { return groups->rowCount() == 1; }, 2000));

        // Back to the summary of the scan, and to the results again.
        window.action(QStringLiteral("back"))->trigger();
        QCOMPARE(window.currentScreen(), static_cast<QWidget*>(window.interimScreen()));
        const QString summary = window.interimScreen()->text();
        QVERIFY2(summary.startsWith(QStringLiteral("2 folders were scanned on ")), qPrintable(summary));
        QVERIFY2(summary.contains(QStringLiteral("14.0 kB of duplicates were found.")), qPrintable(summary));
        window.flow()->showResultsScreen();
        QCOMPARE(window.currentScreen(), static_cast<QWidget*>(results));

        // Closing with results asks first; Cancel keeps the window.
        window.close();
        QMessageBox* quit = test::waitForQuestion(window.questions());
        QVERIFY(quit);
        QCOMPARE(quit->text(), QStringLiteral("Are you sure you want to quit the application?"));
        QVERIFY(test::answerQuestion(quit, QStringLiteral("Cancel")));
        QVERIFY(test::waitUntil([&] { return !window.questions().currentBox(); }));
        QVERIFY(window.isVisible());

        // New scan: asked, and the box turns the question off.
        window.action(QStringLiteral("newScan"))->trigger();
        QMessageBox* again = test::waitForQuestion(window.questions());
        QVERIFY(again);
        QCOMPARE(again->text(), QStringLiteral("Are you sure you want to run a new scan?"));
        QVERIFY(test::answerQuestion(again, QStringLiteral("OK"), true));
        QVERIFY(test::waitUntil([&] { return window.currentScreen() == window.welcomeScreen(); }));
        QVERIFY(!Settings::standard().showNewScanMessage());
        QCOMPARE(folderNames(window).size(), 2);

        // Without results, closing quits at once.
        window.close();
        QVERIFY(!window.isVisible());
    }

    void theListCommandsWorkOnTheShownGroupsOrOnTheGroupOfAContextMenu() {
        test::TempDir& tree = m_sandbox->tree();
        tree.writeFile("Album/photo.jpg", test::noise(5000, 21));
        tree.writeFile("Album/photo copy.jpg", test::noise(5000, 21));
        tree.writeFile("Album/song.ogg", test::noise(6000, 22));
        tree.writeFile("Album/song (1).ogg", test::noise(6000, 22));
        // The copies are the newer files, so that selecting the newest picks what auto-select would.
        test::setModificationTime(tree / "Album/photo.jpg", 1'600'000'000);
        test::setModificationTime(tree / "Album/photo copy.jpg", 1'700'000'000);
        test::setModificationTime(tree / "Album/song.ogg", 1'600'000'000);
        test::setModificationTime(tree / "Album/song (1).ogg", 1'700'000'000);
        Settings settings = Settings::standard();
        settings.setDefineMinimalDuplicatesFileSizeAutomatically(false);
        settings.setDefineMinimalDuplicatesFileSizeAsZero(true);
        MainWindow window;
        window.show();
        window.dropPaths({tree / "Album"});
        QVERIFY(test::waitUntil([&] { return window.welcomeScreen()->startButton()->isEnabled(); }));
        window.action(QStringLiteral("scan"))->trigger();
        QVERIFY(test::waitUntil([&] { return window.currentScreen() == window.resultsScreen(); }));
        ResultsScreen* results = window.resultsScreen();
        auto selectedNames = [&] {
            QStringList names;
            const auto container = DuplicatesManager::sharedManager().duplicateContainer();
            for (const auto& item : container->buildRemoveList()) names << QString::fromStdString(item->getName());
            names.sort();
            return names;
        };
        // Auto select from the toolbar: the copies whose names say so, and the message to review them.
        QAction* autoSelect = results->findChild<QAction*>(QStringLiteral("autoSelect"));
        QVERIFY(autoSelect && autoSelect->isEnabled());
        autoSelect->trigger();
        QCOMPARE(selectedNames(), QStringList{QStringLiteral("photo copy.jpg")});
        QMessageBox* review = test::waitForQuestion(window.questions());
        QVERIFY(review);
        QCOMPARE(review->text(), QStringLiteral("Review the selected duplicates"));
        QVERIFY(test::answerQuestion(review, QStringLiteral("OK")));

        // Deselect all, for the one group of a context menu only: the music is another category.
        results->showCategory(FileCategory::music);
        results->autoSelect(results->groupsModel()->shownGroups().front());
        QCOMPARE(selectedNames(), (QStringList{QStringLiteral("photo copy.jpg"), QStringLiteral("song (1).ogg")}));
        QVERIFY(!window.questions().currentBox());  // no message from a context menu
        results->deselectAll(results->groupsModel()->shownGroups().front());
        QCOMPARE(selectedNames(), QStringList{QStringLiteral("photo copy.jpg")});
        results->showCategory(FileCategory::image);
        results->findChild<QAction*>(QStringLiteral("deselectAll"))->trigger();
        QVERIFY(selectedNames().isEmpty());
        // With nothing new to select the message says so.
        results->selectNewest();
        results->autoSelect();
        QMessageBox* nothing = test::waitForQuestion(window.questions());
        QVERIFY(nothing);
        QCOMPARE(nothing->text(), QStringLiteral("No duplicates were selected"));
        QVERIFY(test::answerQuestion(nothing, QStringLiteral("OK")));
        DuplicatesManager::sharedManager().setDuplicateContainer(nullptr);
    }

    void aScanThatFindsNothingShowsTheNoDuplicatesScreen() {
        m_sandbox->tree().writeFile("Only/one.txt", "one");
        m_sandbox->tree().writeFile("Only/two.txt", "two");
        MainWindow window;
        window.show();
        window.dropPaths({m_sandbox->tree() / "Only"});
        QVERIFY(test::waitUntil([&] { return window.welcomeScreen()->startButton()->isEnabled(); }));
        window.action(QStringLiteral("scan"))->trigger();
        QVERIFY(test::waitUntil([&] { return window.currentScreen() == window.noDuplicatesScreen(); }));
        QCOMPARE(window.noDuplicatesScreen()->title(), QStringLiteral("No duplicates found"));
        QVERIFY(!window.action(QStringLiteral("back"))->isEnabled());
        window.close();
        QVERIFY(!window.isVisible());
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
