// The merge window of a similar-folder pair, on real files scanned through
// the window: the preview of what only the source holds, the options and the
// preferences they are kept in, a folder that went missing, then a copy and a
// move checked on disk byte for byte, the result lines, each file's outcome,
// and the results on screen brought up to date without a new scan.
#include "GuiTestSupport.h"

#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/DuplicatesManager.h"
#include "duplicates/HeapsCollection.h"
#include "folders/DuplicatesHeap.h"
#include "gui/MainWindow.h"
#include "gui/MergeDialog.h"
#include "gui/ResultsScreen.h"
#include "gui/SimilarFoldersModel.h"
#include "gui/WelcomeScreen.h"
#include "merge/MergeOperationData.h"
#include "merge/MergeTexts.h"
#include "platform/PreferencesStore.h"
#include "scan/FileSystemItem.h"
#include "settings/Settings.h"
#include "support/ScanTestSupport.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <filesystem>

using namespace kestrane;
using namespace kestrane::gui;

namespace {

// Name -> what the window says happens to it, for one of the two lists.
QMap<QString, QString> rowsOf(const QTreeWidget& view, const QString& title) {
    QMap<QString, QString> rows;
    for (int i = 0; i < view.topLevelItemCount(); ++i) {
        const QTreeWidgetItem* group = view.topLevelItem(i);
        if (group->text(0) != title) continue;
        for (int row = 0; row < group->childCount(); ++row)
            rows.insert(group->child(row)->text(0), group->child(row)->text(2));
    }
    return rows;
}

// The copies of a file's group, from the result model as it is now.
std::size_t copiesInGroupOf(const std::string& path) {
    const auto container = DuplicatesManager::sharedManager().duplicateContainer();
    const FileSystemItem* item = container ? container->findExistedSystemItemWithPath(path) : nullptr;
    const DuplicateItem* entry = item ? item->getDuplicateItem() : nullptr;
    const auto group = entry ? entry->getGroup() : nullptr;
    return group ? group->getItems().size() : 0;
}

}  // namespace

class MergeDialogTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::GuiSandbox> m_sandbox;
    std::unique_ptr<MainWindow> m_window;
    std::string m_old;
    std::string m_new;
    const std::string m_onlyOld = test::noise(3100, 41);
    const std::string m_oldReport = test::noise(2200, 42);
    const std::string m_newReport = test::noise(2300, 43);
    const std::string m_newReportOne = test::noise(2400, 44);
    const std::string m_inner = test::noise(1500, 45);
    const std::string m_renamed = test::noise(1700, 46);

    // Old and New share two photos under their names and a third under
    // another name; Old alone holds a note, a sub-folder and a report whose
    // name New already uses twice (with other contents).
    void scanPair() {
        test::TempDir& tree = m_sandbox->tree();
        for (const char* folder : {"Old", "New"}) {
            tree.writeFile(std::string(folder) + "/a.jpg", test::noise(4000, 1));
            tree.writeFile(std::string(folder) + "/b.jpg", test::noise(5000, 2));
        }
        tree.writeFile("Old/renamed.jpg", m_renamed);
        tree.writeFile("New/other-name.jpg", m_renamed);
        tree.writeFile("Old/only-old.txt", m_onlyOld);
        tree.writeFile("Old/report.pdf", m_oldReport);
        tree.writeFile("Old/Sub/inner.txt", m_inner);
        tree.writeFile("New/report.pdf", m_newReport);
        tree.writeFile("New/report 1.pdf", m_newReportOne);
        m_old = tree / "Old";
        m_new = tree / "New";
        Settings settings = Settings::standard();
        settings.setDefineMinimalDuplicatesFileSizeAutomatically(false);
        settings.setDefineMinimalDuplicatesFileSizeAsZero(true);

        m_window = std::make_unique<MainWindow>();
        m_window->show();
        m_window->dropPaths({m_old, m_new});
        QVERIFY(test::waitUntil([&] { return m_window->welcomeScreen()->startButton()->isEnabled(); }));
        m_window->welcomeScreen()->startButton()->click();
        QVERIFY(test::waitUntil([&] { return m_window->currentScreen() == m_window->resultsScreen(); }));
    }

    // Opens the merge of the one pair from the toolbar's action, with Old as the source.
    MergeDialog* openMergeFromOld() {
        ResultsScreen* results = m_window->resultsScreen();
        QAction* merge = m_window->action(QStringLiteral("merge"));
        results->showSimilarFolders();
        if (results->similarFoldersModel()->rowCount() != 1 || !merge->isEnabled()) return nullptr;
        merge->trigger();
        MergeDialog* dialog = results->mergeDialog();
        if (!dialog || !dialog->isVisible()) return nullptr;
        const bool oldIsLeft = dialog->merge()->leftFolder()->path() == m_old;
        dialog->directionButton(oldIsLeft ? MergeDirection::LeftToRight : MergeDirection::RightToLeft)->click();
        return dialog->merge()->sourceFolder()->path() == m_old ? dialog : nullptr;
    }

    QString sharedFilesOfPair() const {
        const SimilarFoldersModel* pairs = m_window->resultsScreen()->similarFoldersModel();
        return pairs->data(pairs->index(0, SimilarFoldersModel::sharedColumn)).toString();
    }

    // What the window shows after the merge is what a new scan of the two folders finds.
    void resultMatchesAFreshScan() {
        const auto live = DuplicatesManager::sharedManager().duplicateContainer();
        const auto fresh = test::scanFolders({m_old, m_new}).container;
        QVERIFY(live && fresh);
        QCOMPARE(test::fileGroups(*live), test::fileGroups(*fresh));
        QCOMPARE(fresh->getHeaps()->getCountOfPairs(), std::uint64_t{1});
        QCOMPARE(sharedFilesOfPair(),
                 QStringLiteral("%1 files").arg(fresh->getHeaps()->biggestHeaps(1).front()->getCountOfGroups()));
    }

    void performAndWait(MergeDialog* dialog) {
        QVERIFY(dialog->mergeButton()->isEnabled());
        QSignalSpy ended(dialog, &MergeDialog::mergeEnded);
        dialog->mergeButton()->click();
        QVERIFY(test::waitUntil([&] { return ended.count() == 1; }));
        QCOMPARE(dialog->merge()->state(), MergeState::ViewResult);
        QVERIFY(dialog->resultLabel()->isVisible());
        QVERIFY(!dialog->mergeButton()->isVisible());
        QCOMPARE(dialog->closeButton()->text(), QStringLiteral("Close"));
    }

private slots:
    void init() {
        m_sandbox = std::make_unique<test::GuiSandbox>();
        scanPair();
    }
    void cleanup() {
        m_window.reset();
        DuplicatesManager::sharedManager().setDuplicateContainer(nullptr);
        m_sandbox.reset();
    }

    void previewListsWhatOnlyTheSourceHoldsAndFollowsTheOptions() {
        // Merge needs a pair shown.
        QVERIFY(!m_window->action(QStringLiteral("merge"))->isEnabled());
        MergeDialog* dialog = openMergeFromOld();
        QVERIFY(dialog);
        QCOMPARE(dialog->windowModality(), Qt::WindowModal);
        // The stored choices by default: copy, and duplicates under other names too.
        QVERIFY(dialog->actionButton(MergeAction::Copy)->isChecked());
        QVERIFY(dialog->differentNamesBox()->isChecked());
        QVERIFY(!dialog->removeSourceBox()->isEnabled());
        QVERIFY(dialog->optionsArea()->isVisible());
        QCOMPARE(dialog->messageLabel()->text(), QStringLiteral("4 files from \"Old\" will be copied to \"New\" folder."));
        QCOMPARE(dialog->hintLabel()->text(),
                 QStringLiteral("You can customize Merge using the options below or changing direction."));
        QVERIFY(!dialog->feasibilityLabel()->isVisible());

        const QString unique = QStringLiteral("Unique Files"), duplicates = QStringLiteral("Duplicate Files");
        auto uniqueRows = rowsOf(*dialog->itemsView(), unique);
        QCOMPARE(uniqueRows.keys(),
                 (QStringList{QStringLiteral("Sub/"), QStringLiteral("only-old.txt"), QStringLiteral("report.pdf")}));
        QCOMPARE(uniqueRows.value(QStringLiteral("only-old.txt")), QStringLiteral("Will be copied"));
        // report.pdf and report 1.pdf are taken in New.
        QCOMPARE(uniqueRows.value(QStringLiteral("report.pdf")), QStringLiteral("Will be copied as \u201Creport 2.pdf\u201D"));
        auto duplicateRows = rowsOf(*dialog->itemsView(), duplicates);
        QCOMPARE(duplicateRows.keys(),
                 (QStringList{QStringLiteral("a.jpg"), QStringLiteral("b.jpg"), QStringLiteral("renamed.jpg")}));
        QCOMPARE(duplicateRows.value(QStringLiteral("a.jpg")), QStringLiteral("Already in \u201CNew\u201D"));
        QCOMPARE(duplicateRows.value(QStringLiteral("renamed.jpg")), QStringLiteral("Will be copied"));

        // Leaving out the duplicates under other names: kept in the file the command line reads.
        dialog->differentNamesBox()->click();
        QCOMPARE(dialog->messageLabel()->text(), QStringLiteral("3 files from \"Old\" will be copied to \"New\" folder."));
        duplicateRows = rowsOf(*dialog->itemsView(), duplicates);
        QCOMPARE(duplicateRows.value(QStringLiteral("renamed.jpg")),
                 QStringLiteral("In \u201CNew\u201D as \u201Cother-name.jpg\u201D"));
        dialog->actionButton(MergeAction::Move)->click();
        QCOMPARE(dialog->messageLabel()->text(), QStringLiteral("3 files from \"Old\" will be moved to \"New\" folder."));
        QVERIFY(dialog->removeSourceBox()->isEnabled());
        dialog->optionsToggle()->click();
        QVERIFY(!dialog->optionsArea()->isVisible());
        platform::PreferencesStore::reopenStandard();
        const Settings stored = Settings::standard();
        QVERIFY(!stored.mergeDialogueNeedMergeDuplicatesWithDifferentNames());
        QVERIFY(stored.mergeDialogueMoveMergedFiles());
        QVERIFY(!stored.mergeDialogueExpandOptions());
        QCOMPARE(MergeOperationOptions::fromSettings(stored).action, std::optional<MergeAction>(MergeAction::Move));

        // The other way round, New has nothing Old lacks but its two reports;
        // "report 1.pdf" comes first in name order and keeps its name.
        dialog->directionButton(dialog->merge()->leftFolder()->path() == m_old ? MergeDirection::RightToLeft
                                                                                : MergeDirection::LeftToRight)
            ->click();
        QCOMPARE(dialog->messageLabel()->text(), QStringLiteral("2 files from \"New\" will be moved to \"Old\" folder."));
        QCOMPARE(rowsOf(*dialog->itemsView(), unique).value(QStringLiteral("report.pdf")),
                 QStringLiteral("Will be moved as \u201Creport 2.pdf\u201D"));
        QCOMPARE(rowsOf(*dialog->itemsView(), unique).value(QStringLiteral("report 1.pdf")),
                 QStringLiteral("Will be moved"));

        // A destination gone since the scan: its message, and no Merge.
        std::filesystem::rename(m_old, m_old + "-gone");
        dialog->actionButton(MergeAction::Copy)->click();
        QCOMPARE(dialog->feasibilityLabel()->text(), QStringLiteral("The destination \"Old\" does not exist."));
        QVERIFY(dialog->feasibilityLabel()->isVisible());
        QVERIFY(!dialog->mergeButton()->isEnabled());
        std::filesystem::rename(m_old + "-gone", m_old);
        dialog->actionButton(MergeAction::Move)->click();
        QVERIFY(!dialog->feasibilityLabel()->isVisible());
        QVERIFY(dialog->mergeButton()->isEnabled());

        // Escape closes a merge that has not started; nothing changed on disk.
        QTest::keyClick(dialog, Qt::Key_Escape);
        QVERIFY(test::waitUntil([&] { return m_window->resultsScreen()->mergeDialog() == nullptr; }));
        QVERIFY(!std::filesystem::exists(m_new + "/only-old.txt"));
        QVERIFY(!std::filesystem::exists(m_old + "/report 1.pdf"));

        // The next merge window opens as it was left.
        MergeDialog* again = openMergeFromOld();
        QVERIFY(again);
        QVERIFY(again->actionButton(MergeAction::Move)->isChecked());
        QVERIFY(!again->differentNamesBox()->isChecked());
        QVERIFY(!again->optionsArea()->isVisible());
        again->reject();
    }

    void copyBringsTheUniqueFilesOverWithoutReplacingAnything() {
        MergeDialog* dialog = openMergeFromOld();
        QVERIFY(dialog);
        const QString sharedBefore = sharedFilesOfPair();
        QCOMPARE(copiesInGroupOf(m_old + "/only-old.txt"), std::size_t{0});
        dialog->differentNamesBox()->setChecked(false);
        QCOMPARE(dialog->merge()->countOfAffectedItems(), std::uint64_t{3});
        performAndWait(dialog);

        QCOMPARE(dialog->resultLabel()->text(), QStringLiteral("3 files were copied succesfully."));
        const auto rows = rowsOf(*dialog->itemsView(), QStringLiteral("Unique Files"));
        QCOMPARE(rows.value(QStringLiteral("report.pdf")), QStringLiteral("Copied as \u201Creport 2.pdf\u201D"));
        QCOMPARE(rows.value(QStringLiteral("only-old.txt")), QStringLiteral("Copied"));

        // On disk: the new files byte for byte, New's own files untouched, Old as it was.
        QCOMPARE(test::fileContent(m_new + "/only-old.txt"), m_onlyOld);
        QCOMPARE(test::fileContent(m_new + "/report 2.pdf"), m_oldReport);
        QCOMPARE(test::fileContent(m_new + "/report.pdf"), m_newReport);
        QCOMPARE(test::fileContent(m_new + "/report 1.pdf"), m_newReportOne);
        QCOMPARE(test::fileContent(m_new + "/Sub/inner.txt"), m_inner);
        QVERIFY(!std::filesystem::exists(m_new + "/renamed.jpg"));
        QCOMPARE(test::fileContent(m_old + "/only-old.txt"), m_onlyOld);
        QCOMPARE(test::fileContent(m_old + "/report.pdf"), m_oldReport);
        QCOMPARE(test::fileContent(m_old + "/Sub/inner.txt"), m_inner);

        // The results follow without a new scan: the note and its copy form a
        // group, and the pair shares more files.
        QCOMPARE(copiesInGroupOf(m_old + "/only-old.txt"), std::size_t{2});
        QCOMPARE(copiesInGroupOf(m_new + "/report 2.pdf"), std::size_t{2});
        QCOMPARE(m_window->resultsScreen()->similarFoldersModel()->rowCount(), 1);
        QVERIFY(sharedFilesOfPair() != sharedBefore);
        resultMatchesAFreshScan();

        dialog->closeButton()->click();
        QVERIFY(test::waitUntil([&] { return m_window->resultsScreen()->mergeDialog() == nullptr; }));
    }

    void moveTakesOnlyTheMovedFilesOutOfTheSource() {
        MergeDialog* dialog = openMergeFromOld();
        QVERIFY(dialog);
        dialog->actionButton(MergeAction::Move)->click();
        QCOMPARE(dialog->messageLabel()->text(), QStringLiteral("4 files from \"Old\" will be moved to \"New\" folder."));
        performAndWait(dialog);

        QCOMPARE(dialog->resultLabel()->text(), QStringLiteral("4 files were moved succesfully."));
        QCOMPARE(rowsOf(*dialog->itemsView(), QStringLiteral("Unique Files")).value(QStringLiteral("report.pdf")),
                 QStringLiteral("Moved as \u201Creport 2.pdf\u201D"));
        QCOMPARE(rowsOf(*dialog->itemsView(), QStringLiteral("Duplicate Files")).value(QStringLiteral("a.jpg")),
                 QStringLiteral("Already in \u201CNew\u201D"));

        // Moved: gone from Old, in New byte for byte; what Old shares under the same names stays.
        for (const char* name : {"only-old.txt", "report.pdf", "renamed.jpg", "Sub"})
            QVERIFY2(!std::filesystem::exists(m_old + "/" + name), name);
        QVERIFY(std::filesystem::exists(m_old + "/a.jpg"));
        QVERIFY(std::filesystem::exists(m_old + "/b.jpg"));
        QCOMPARE(test::fileContent(m_new + "/only-old.txt"), m_onlyOld);
        QCOMPARE(test::fileContent(m_new + "/report 2.pdf"), m_oldReport);
        QCOMPARE(test::fileContent(m_new + "/renamed.jpg"), m_renamed);
        QCOMPARE(test::fileContent(m_new + "/other-name.jpg"), m_renamed);
        QCOMPARE(test::fileContent(m_new + "/Sub/inner.txt"), m_inner);
        QCOMPARE(test::fileContent(m_new + "/report.pdf"), m_newReport);
        QCOMPARE(test::fileContent(m_new + "/report 1.pdf"), m_newReportOne);

        // The moved photo's group now holds its two copies in New; Old keeps
        // the pair through the two photos it still shares.
        QCOMPARE(copiesInGroupOf(m_new + "/renamed.jpg"), std::size_t{2});
        const auto container = DuplicatesManager::sharedManager().duplicateContainer();
        QVERIFY(!container->findExistedSystemItemWithPath(m_old + "/renamed.jpg"));
        QCOMPARE(m_window->resultsScreen()->similarFoldersModel()->rowCount(), 1);
        QCOMPARE(sharedFilesOfPair(), QStringLiteral("2 files"));
        resultMatchesAFreshScan();
        dialog->closeButton()->click();
        QVERIFY(test::waitUntil([&] { return m_window->resultsScreen()->mergeDialog() == nullptr; }));
    }
};

QTEST_MAIN(MergeDialogTest)
#include "MergeDialogTest.moc"
