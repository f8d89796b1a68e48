// The preferences window writes the same preferences file as the command
// line: every check box its key, the minimal-size choice, the lists, the
// auto-select lists that keep a folder in one list only, and the defaults.
#include "GuiTestSupport.h"

#include "gui/PathListEditor.h"
#include "gui/PreferencesDialog.h"
#include "gui/QtQuestionAsker.h"
#include "platform/PreferencesStore.h"
#include "settings/Settings.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

#include <nlohmann/json.hpp>

using namespace kestrane;
using namespace kestrane::gui;

class PreferencesDialogTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::GuiSandbox> m_sandbox;

    // What the command line would read: the file on disk.
    nlohmann::json storedFile() const {
        QFile file(QString::fromStdString(m_sandbox->home() + "/.config/kestrane/preferences.json"));
        if (!file.open(QIODevice::ReadOnly)) return nlohmann::json::object();
        return nlohmann::json::parse(file.readAll().toStdString(), nullptr, false);
    }

private slots:
    void init() { m_sandbox = std::make_unique<test::GuiSandbox>(); }
    void cleanup() { m_sandbox.reset(); }

    void everyBooleanPreferenceHasACheckBoxThatWritesTheFile() {
        PreferencesDialog dialog;
        int checked = 0;
        for (const Settings::Definition& definition : Settings::definitions()) {
            if (definition.type != Settings::Type::boolean) continue;
            const std::string key = definition.key;
            // Without a setter in the store, or chosen by the size radio buttons and the Trash choice.
            if (key == Settings::kKeyExcludeTimeMachineBackups || key == Settings::kKeySkipVolumeSystemFolders ||
                key == Settings::kKeyDefineMinimalDuplicatesFileSizeAutomatically ||
                key == Settings::kKeyDefineMinimalDuplicatesFileSizeAsZero ||
                key == Settings::kKeyMoveCleanedDuplicatesToTheTrashCan)
                continue;
            QCheckBox* box = dialog.checkBoxOfKey(definition.key);
            QVERIFY2(box, definition.key);
            QCOMPARE(box->isChecked(), definition.flagDefault);
            box->click();
            QVERIFY(storedFile()[key] == nlohmann::json(!definition.flagDefault));
            ++checked;
        }
        QCOMPARE(checked, 19);
    }

    void theMinimalSizeIsAutomaticAllFilesOrASize() {
        PreferencesDialog dialog;
        QVERIFY(dialog.automaticSize()->isChecked());
        QVERIFY(!dialog.sizeSlider()->isEnabled());
        dialog.allFiles()->click();
        QVERIFY(storedFile()["us:defineMinimalDuplicatesFileSizeAutomatically"] == nlohmann::json(false));
        QVERIFY(storedFile()["us:defineMinimalDuplicatesFileSizeAsZero"] == nlohmann::json(true));
        QCOMPARE(dialog.sizeLabel()->text(), QStringLiteral("All files"));
        dialog.manualSize()->click();
        QVERIFY(dialog.sizeSlider()->isEnabled());
        dialog.sizeSlider()->setValue(667);  // the tick of the second breakpoint: 10 MB
        QCOMPARE(Settings::standard().minDuplicatesFileSize(), std::uint64_t(10000000));
        QCOMPARE(dialog.sizeLabel()->text(), QStringLiteral("10.0 MB"));
        QVERIFY(storedFile()["us:defineMinimalDuplicatesFileSizeAsZero"] == nlohmann::json(false));
        // A release near a tick lands on it.
        QCOMPARE(PreferencesDialog::snappedSliderPosition(32.4f), 333);
        QCOMPARE(PreferencesDialog::snappedSliderPosition(50.04f), 500);
        QCOMPARE(PreferencesDialog::snappedSliderPosition(99.5f), 1000);
        dialog.sizeSlider()->setValue(500);
        QCOMPARE(Settings::standard().minDuplicatesFileSize(), Settings::minimalSizeForSliderValue(50.0f));
        // Stored sizes come back to the same place.
        PreferencesDialog again;
        QCOMPARE(again.sizeSlider()->value(), 500);
        QVERIFY(again.manualSize()->isChecked());
        dialog.deletePermanently()->click();
        QVERIFY(storedFile()["KEY_moveCleanedDuplicatesToTheTrashCan"] == nlohmann::json(false));
    }

    void listsAreStoredAndAFolderStaysInOneAutoSelectList() {
        PreferencesDialog dialog;
        dialog.excludeExtensions()->addEntries({*Settings::normalizedExtensionEntry(" tmp.")});
        QVERIFY(Settings::standard().excludeExtensions().back() == ".tmp");
        const std::string folder = m_sandbox->tree().makeDir("Keep");
        dialog.neverSelect()->addEntries({folder});
        QVERIFY(storedFile()["KEY_autoNeverSelect_folders"].back() == nlohmann::json(folder));

        // Into the other list: asked first, moved when agreed.
        dialog.alwaysSelect()->addEntries({folder});
        QMessageBox* box = test::waitForQuestion(dialog.questions());
        QVERIFY(box);
        QCOMPARE(box->text(),
                 QStringLiteral("Do you want to remove this folder from Never Select list and add it to Always Select list?"));
        QVERIFY(test::answerQuestion(box, QStringLiteral("Move")));
        QVERIFY(test::waitUntil([&] { return !dialog.questions().currentBox(); }));
        const auto always = Settings::standard().autoAlwaysSelectFolders();
        const auto never = Settings::standard().autoNeverSelectFolders();
        QVERIFY(std::find(always.begin(), always.end(), folder) != always.end());
        QVERIFY(std::find(never.begin(), never.end(), folder) == never.end());

        // Into the same list again: told so, nothing added.
        dialog.alwaysSelect()->addEntries({folder});
        box = test::waitForQuestion(dialog.questions());
        QVERIFY(box);
        QCOMPARE(box->text(), QStringLiteral("This folder already added to Always Select list"));
        QVERIFY(test::answerQuestion(box, QStringLiteral("OK")));
        QCOMPARE(Settings::standard().autoAlwaysSelectFolders().size(), always.size());

        // Removing the selected row.
        dialog.excludeFolders()->list()->setCurrentRow(0);
        const auto before = Settings::standard().excludeFolders();
        dialog.excludeFolders()->removeButton()->click();
        QCOMPARE(Settings::standard().excludeFolders().size(), before.size() - 1);
    }

    void restoreDefaultsPutsEveryPreferenceBack() {
        Settings settings = Settings::standard();
        settings.setScanInHiddenFolders(true);
        settings.setExcludeFolders(std::vector<std::string>{"/srv"});
        settings.setMoveCleanedDuplicatesToTheTrashCan(false);
        settings.setShowNewScanMessage(false);
        PreferencesDialog dialog;
        QVERIFY(dialog.checkBoxOfKey(Settings::kKeyScanInHiddenFolders)->isChecked());
        QVERIFY(dialog.deletePermanently()->isChecked());
        QCOMPARE(dialog.excludeFolders()->list()->count(), 1);
        dialog.restoreDefaults();
        QVERIFY(!dialog.checkBoxOfKey(Settings::kKeyScanInHiddenFolders)->isChecked());
        QVERIFY(dialog.checkBoxOfKey(Settings::kKeyShowNewScanMessage)->isChecked());
        QVERIFY(dialog.moveToTrash()->isChecked());
        QCOMPARE(dialog.excludeFolders()->entries(), Settings::createDefaultExcludeFoldersArray());
        QVERIFY(!storedFile().contains("KEY_exclude_folders"));
    }
};

QTEST_MAIN(PreferencesDialogTest)
#include "PreferencesDialogTest.moc"
