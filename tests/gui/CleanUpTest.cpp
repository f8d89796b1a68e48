// A whole clean-up through the window, on real files: folders, scan,
// auto-select, the review, Remove (permanently after its question, then to
// a Trash under the sandbox's XDG data folder), the summary of what was
// cleaned, the congratulations, the removal history and restoring from it.
#include "GuiTestSupport.h"

#include "app/ScanFlowController.h"
#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesManager.h"
#include "gui/HistoryWindow.h"
#include "gui/MainWindow.h"
#include "gui/MessageScreen.h"
#include "gui/QtQuestionAsker.h"
#include "gui/RemovedItemsModel.h"
#include "gui/ResultsScreen.h"
#include "gui/ReviewModel.h"
#include "gui/ReviewPanel.h"
#include "gui/WelcomeScreen.h"
#include "platform/FileFlags.h"
#include "settings/Settings.h"
#include "support/FlagsReset.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace kestrane;
using namespace kestrane::gui;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

QStringList removeListNames() {
    QStringList names;
    if (const auto container = DuplicatesManager::sharedManager().duplicateContainer())
        for (const auto& item : container->buildRemoveList()) names << QString::fromStdString(item->getName());
    names.sort();
    return names;
}

}  // namespace

class CleanUpTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::GuiSandbox> m_sandbox;

    // Auto Select on the shown category; the message that follows is answered.
    void autoSelect(MainWindow& window) {
        QAction* action = window.resultsScreen()->findChild<QAction*>(QStringLiteral("autoSelect"));
        QVERIFY(action && action->isEnabled());
        action->trigger();
        QMessageBox* review = test::waitForQuestion(window.questions());
        QVERIFY(review);
        QCOMPARE(review->text(), QStringLiteral("Review the selected duplicates"));
        QVERIFY(test::answerQuestion(review, QStringLiteral("OK")));
        QVERIFY(test::waitUntil([&] { return !window.questions().currentBox(); }));
    }

private slots:
    void init() { m_sandbox = std::make_unique<test::GuiSandbox>(); }
    void cleanup() {
        DuplicatesManager::sharedManager().setDuplicateContainer(nullptr);
        m_sandbox.reset();
    }

    void fromFoldersToRemovedCopiesAndBackFromTheHistory() {
        test::TempDir& tree = m_sandbox->tree();
        const std::string photo = test::noise(5000, 31), song = test::noise(6000, 32);
        const std::string keptPhoto = tree.writeFile("Album/photo.jpg", photo);
        const std::string copyPhoto = tree.writeFile("Album/photo copy.jpg", photo);
        const std::string keptSong = tree.writeFile("Album/song.ogg", song);
        const std::string copySong = tree.writeFile("Album/song copy.ogg", song);
        // The copies are the newer files.
        test::setModificationTime(keptPhoto, 1'600'000'000);
        test::setModificationTime(copyPhoto, 1'700'000'000);
        test::setModificationTime(keptSong, 1'600'000'000);
        test::setModificationTime(copySong, 1'700'000'000);
        Settings settings = Settings::standard();
        settings.setDefineMinimalDuplicatesFileSizeAutomatically(false);
        settings.setDefineMinimalDuplicatesFileSizeAsZero(true);
        settings.setMoveCleanedDuplicatesToTheTrashCan(false);

        MainWindow window;
        window.show();
        window.dropPaths({tree / "Album"});
        QVERIFY(test::waitUntil([&] { return window.welcomeScreen()->startButton()->isEnabled(); }));
        window.welcomeScreen()->startButton()->click();
        QVERIFY(test::waitUntil([&] { return window.currentScreen() == window.resultsScreen(); }));
        ResultsScreen* results = window.resultsScreen();
        QAction* review = window.action(QStringLiteral("review"));
        QVERIFY(!review->isEnabled());  // nothing selected yet

        // The photo's copy, reviewed.
        autoSelect(window);
        QCOMPARE(removeListNames(), QStringList{QStringLiteral("photo copy.jpg")});
        QVERIFY(review->isEnabled());
        review->trigger();
        ReviewPanel* panel = window.reviewPanel();
        QCOMPARE(window.currentScreen(), static_cast<QWidget*>(panel));
        QCOMPARE(panel->model()->copyCount(), std::size_t{1});
        QVERIFY(panel->permanentlyButton()->isChecked());
        // Closing the window closes the review first, without a question.
        window.close();
        QVERIFY(window.isVisible());
        QCOMPARE(window.currentScreen(), static_cast<QWidget*>(results));
        QVERIFY(!window.questions().currentBox());
        review->trigger();
        QCOMPARE(window.currentScreen(), static_cast<QWidget*>(panel));

        // Removing permanently asks first; Cancel removes nothing.
        panel->removeButton()->click();
        QMessageBox* sure = test::waitForQuestion(window.questions());
        QVERIFY(sure);
        QCOMPARE(sure->text(), QStringLiteral("Are you sure you want to delete some files permanently?"));
        QCOMPARE(sure->informativeText(), QStringLiteral("1 item will be deleted permanently. You cannot undo this action."));
        QVERIFY(sure->checkBox());
        QCOMPARE(sure->checkBox()->text(), QStringLiteral("Don't show this message again"));
        QVERIFY(!panel->removeButton()->isEnabled());  // one question at a time
        QVERIFY(test::answerQuestion(sure, QStringLiteral("Cancel")));
        QVERIFY(test::waitUntil([&] { return panel->removeButton()->isEnabled(); }));
        QVERIFY(!panel->isRemoving());
        QVERIFY(std::filesystem::exists(copyPhoto));
        QVERIFY(Settings::standard().showRemovePermanentlyMessage());

        // OK with the box ticked: removed, and not asked again.
        panel->removeButton()->click();
        sure = test::waitForQuestion(window.questions());
        QVERIFY(sure);
        QVERIFY(test::answerQuestion(sure, QStringLiteral("OK"), true));
        QVERIFY(test::waitUntil([&] { return !panel->isRemoving() && !panel->resultLines().isEmpty(); }));
        QVERIFY(!Settings::standard().showRemovePermanentlyMessage());
        QVERIFY(!std::filesystem::exists(copyPhoto));
        QCOMPARE(readFile(keptPhoto), photo);
        QCOMPARE(panel->resultLines().front(), QStringLiteral("1 copy (5.0 kB) was deleted permanently."));
        QCOMPARE(panel->model()->copyCount(), std::size_t{0});
        QVERIFY(!panel->removeButton()->isEnabled());
        // The song's pair is left: the results stay, and their summary says what was cleaned.
        QCOMPARE(window.flow()->screen(), ScanFlowController::Screen::results);
        panel->backButton()->click();
        QCOMPARE(window.currentScreen(), static_cast<QWidget*>(results));
        window.action(QStringLiteral("back"))->trigger();
        QCOMPARE(window.currentScreen(), static_cast<QWidget*>(window.interimScreen()));
        const QString summary = window.interimScreen()->text();
        QVERIFY2(summary.contains(QStringLiteral("22.0 kB of duplicates were found.")), qPrintable(summary));
        QVERIFY2(summary.contains(QStringLiteral("5.0 kB were cleaned.")), qPrintable(summary));
        window.flow()->showResultsScreen();

        // The song's copy, to the Trash this time.
        results->showCategory(FileCategory::music);
        autoSelect(window);
        QCOMPARE(removeListNames(), QStringList{QStringLiteral("song copy.ogg")});
        review->trigger();
        panel->toTrashButton()->click();
        QVERIFY(Settings::standard().moveCleanedDuplicatesToTheTrashCan());
        panel->removeButton()->click();
        // No question for the Trash; the last duplicates gone, the congratulations.
        QVERIFY(test::waitUntil([&] { return window.currentScreen() == window.congratulationsScreen(); }));
        QVERIFY(!window.questions().currentBox());
        QCOMPARE(window.congratulationsScreen()->title(), QStringLiteral("Congratulations!"));
        QVERIFY2(window.congratulationsScreen()->text().contains(QStringLiteral("11.0 kB were cleaned.")),
                 qPrintable(window.congratulationsScreen()->text()));
        QVERIFY(!std::filesystem::exists(copySong));
        QCOMPARE(readFile(keptSong), song);
        const std::string trash = m_sandbox->home() + "/.local/share/Trash";
        QCOMPARE(readFile(trash + "/files/song copy.ogg"), song);
        const std::string info = readFile(trash + "/info/song copy.ogg.trashinfo");
        QVERIFY2(info.starts_with("[Trash Info]\n"), info.c_str());
        const QByteArray encoded = QUrl::toPercentEncoding(QString::fromStdString(copySong), "/");
        QVERIFY2(info.find("\nPath=" + encoded.toStdString() + "\n") != std::string::npos, info.c_str());
        QVERIFY(info.find("\nDeletionDate=") != std::string::npos);

        // The history lists both runs of the day; both copies come back.
        window.action(QStringLiteral("history"))->trigger();
        HistoryWindow* history = window.historyWindow();
        QVERIFY(history);
        QCOMPARE(history->runsView()->topLevelItemCount(), 1);
        QCOMPARE(history->runsView()->topLevelItem(0)->childCount(), 2);
        history->showRun(history->runsView()->topLevelItem(0));
        RemovedItemsModel* files = history->filesModel();
        QCOMPARE(files->rowCount(), 2);
        QStringList statuses;
        for (int row = 0; row < files->rowCount(); ++row) {
            statuses << files->data(files->index(row, RemovedItemsModel::statusColumn)).toString();
            QVERIFY(files->setData(files->index(row, 0), Qt::Checked, Qt::CheckStateRole));
        }
        statuses.sort();
        QCOMPARE(statuses, (QStringList{QStringLiteral("From the kept copy"), QStringLiteral("In the Trash")}));
        history->restoreButton()->click();
        QVERIFY(test::waitUntil([&] { return !history->isRestoring(); }));
        QCOMPARE(history->resultLabel()->text(), QStringLiteral("2 files were restored successfully."));
        QCOMPARE(readFile(copyPhoto), photo);
        QCOMPARE(readFile(copySong), song);
        QVERIFY(std::filesystem::is_empty(trash + "/files"));
        history->close();

        // With no results left, closing quits at once.
        window.close();
        QVERIFY(!window.isVisible());
    }

    void aLockedCopyIsAskedAboutAndStaysMarkedWhenDeclined() {
        if (::geteuid() != 0) QSKIP("setting the immutable flag needs root (CAP_LINUX_IMMUTABLE)");
        test::TempDir& tree = m_sandbox->tree();
        const std::string content = test::noise(4000, 41);
        const std::string kept = tree.writeFile("Album/photo.jpg", content);
        const std::string locked = tree.writeFile("Album/photo copy.jpg", content);
        test::setModificationTime(kept, 1'600'000'000);
        test::setModificationTime(locked, 1'700'000'000);
        const test::FlagsReset reset(locked);
        if (platform::setFileFlags(locked, {.immutable = true})) QSKIP("this file system keeps no immutable flag");
        Settings settings = Settings::standard();
        settings.setDefineMinimalDuplicatesFileSizeAutomatically(false);
        settings.setDefineMinimalDuplicatesFileSizeAsZero(true);

        MainWindow window;
        window.show();
        window.dropPaths({tree / "Album"});
        QVERIFY(test::waitUntil([&] { return window.welcomeScreen()->startButton()->isEnabled(); }));
        window.action(QStringLiteral("scan"))->trigger();
        QVERIFY(test::waitUntil([&] { return window.currentScreen() == window.resultsScreen(); }));
        autoSelect(window);
        window.action(QStringLiteral("review"))->trigger();
        ReviewPanel* panel = window.reviewPanel();
        QVERIFY(panel->toTrashButton()->isChecked());
        panel->removeButton()->click();

        // The locked files' question, while the session waits for it.
        QMessageBox* box = test::waitForQuestion(window.questions());
        QVERIFY(box);
        QCOMPARE(box->text(), QStringLiteral("The file \"photo copy.jpg\" was not removed due to being locked"));
        QCOMPARE(box->informativeText(),
                 QStringLiteral("Removal of this file requires your unlocking and confirmation in the Finder.\n"
                                "Do you confirm removal?"));
        QVERIFY(panel->isRemoving());
        QCOMPARE(panel->removeButton()->text(), QStringLiteral("Stop"));
        QVERIFY(!panel->backButton()->isEnabled());
        QVERIFY(!window.action(QStringLiteral("history"))->isEnabled());
        QVERIFY(test::answerQuestion(box, QStringLiteral("Cancel")));
        QVERIFY(test::waitUntil([&] { return !panel->isRemoving(); }));

        // Declined: the copy stays, locked, marked with why; the results stay.
        QVERIFY(!window.questions().currentBox());
        QVERIFY(std::filesystem::exists(locked));
        QVERIFY(platform::fileFlagsOfPath(locked)->immutable);
        QCOMPARE(readFile(kept), content);
        QCOMPARE(panel->resultLines(), (QStringList{QStringLiteral("Nothing was removed."),
                                                    QStringLiteral("1 copy was not removed: the marked rows say why.")}));
        const auto stillSelected = DuplicatesManager::sharedManager().duplicateContainer()->buildRemoveList();
        QCOMPARE(stillSelected.size(), std::size_t{1});
        QCOMPARE(stillSelected.front()->getFileItemPath(), locked);
        const QModelIndex row = panel->model()->indexOfItem(*stillSelected.front());
        QVERIFY(row.isValid());
        QVERIFY2(panel->model()->data(row, ReviewModel::errorRole).toString().startsWith(QStringLiteral("Not removed")),
                 qPrintable(panel->model()->data(row, ReviewModel::errorRole).toString()));
        QCOMPARE(window.flow()->screen(), ScanFlowController::Screen::results);
        QVERIFY(window.action(QStringLiteral("history"))->isEnabled());
        QVERIFY(panel->backButton()->isEnabled());
    }
};

QTEST_MAIN(CleanUpTest)
#include "CleanUpTest.moc"
