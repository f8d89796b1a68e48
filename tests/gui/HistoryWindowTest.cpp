// The removal history window over real logs and a real Trash (under the
// sandbox's XDG data folder): runs by day, the files with where they stand,
// restoring them to their places, and the message when nothing can come back.
#include "GuiTestSupport.h"

#include "gui/HistoryWindow.h"
#include "gui/QtQuestionAsker.h"
#include "gui/RemovedItemsModel.h"
#include "log/BaseRemovedItem.h"
#include "log/VaqLog.h"
#include "log/VaqLogFactory.h"
#include "log/VaqLogGroup.h"
#include "platform/Trash.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
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

VaqLogItem described(const std::string& path) {
    struct stat attributes {};
    ::lstat(path.c_str(), &attributes);
    return VaqLogItem{path, static_cast<std::uint64_t>(attributes.st_size),
                      {attributes.st_mtim.tv_sec, static_cast<std::uint32_t>(attributes.st_mtim.tv_nsec)}, false};
}

}  // namespace

class HistoryWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::GuiSandbox> m_sandbox;
    std::string m_kept, m_trashed, m_deleted;
    std::string m_content;

    // One run: a photo kept, one copy thrown into the Trash, one deleted.
    void recordRun() {
        m_content = test::noise(20000, 11);
        m_kept = m_sandbox->tree().writeFile("Photos/beach.jpg", m_content);
        m_trashed = m_sandbox->tree().writeFile("Copies/beach.jpg", m_content);
        m_deleted = m_sandbox->tree().writeFile("Old/beach.jpg", m_content);
        VaqLogGroup group(1);
        for (const auto& path : {m_kept, m_trashed, m_deleted}) group.addItem(described(path));
        VaqLog recorder;
        recorder.beginLogOfGroups(std::vector<VaqLogGroup>{group});
        platform::Trash trash;
        const auto entry = trash.moveToTrash(m_trashed);
        QVERIFY(entry);
        recorder.onItemMovedToTrash(1, m_trashed, entry->trashedPath);
        QCOMPARE(::unlink(m_deleted.c_str()), 0);
        recorder.onItemRemoved(1, m_deleted);
        QVERIFY(!recorder.endLog());
    }

    QStringList statuses(const RemovedItemsModel& model) const {
        QStringList texts;
        for (int row = 0; row < model.rowCount(); ++row)
            texts << model.data(model.index(row, RemovedItemsModel::statusColumn)).toString();
        texts.sort();
        return texts;
    }

private slots:
    void init() {
        m_sandbox = std::make_unique<test::GuiSandbox>();
        recordRun();
    }
    void cleanup() { m_sandbox.reset(); }

    void aRunIsListedByDayAndItsFilesComeBackToTheirPlaces() {
        HistoryWindow window;
        QTreeWidget* runs = window.runsView();
        QCOMPARE(runs->topLevelItemCount(), 1);
        QCOMPARE(runs->topLevelItem(0)->childCount(), 1);
        QCOMPARE(runs->topLevelItem(0)->text(1), QStringLiteral("2"));
        RemovedItemsModel* files = window.filesModel();
        QCOMPARE(files->rowCount(), 2);
        QCOMPARE(statuses(*files), (QStringList{QStringLiteral("From the kept copy"), QStringLiteral("In the Trash")}));
        QVERIFY(!window.restoreButton()->isEnabled());

        for (int row = 0; row < 2; ++row)
            QVERIFY(files->setData(files->index(row, 0), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(window.restoreButton()->isEnabled());
        window.restoreButton()->click();
        QVERIFY(test::waitUntil([&] { return !window.isRestoring(); }));
        QCOMPARE(window.resultLabel()->text(), QStringLiteral("2 files were restored successfully."));
        // On disk: both copies are back with their bytes, the Trash is empty again.
        QCOMPARE(readFile(m_trashed), m_content);
        QCOMPARE(readFile(m_deleted), m_content);
        QCOMPARE(readFile(m_kept), m_content);
        QVERIFY(std::filesystem::is_empty(m_sandbox->home() + "/.local/share/Trash/files"));
        const QStringList after = statuses(*files);
        QVERIFY2(after[0].startsWith(QStringLiteral("Copied from the kept copy to ")), qPrintable(after[0]));
        QVERIFY2(after[1].startsWith(QStringLiteral("Restored from the Trash to ")), qPrintable(after[1]));
        // Restored files can no longer be ticked.
        QVERIFY(!(files->flags(files->index(0, 0)) & Qt::ItemIsUserCheckable));

        // A fresh look at the history sees them restored.
        HistoryWindow again;
        QCOMPARE(statuses(*again.filesModel()), (QStringList{QStringLiteral("Restored"), QStringLiteral("Restored")}));
    }

    void withNothingLeftToRestoreFromThePersonIsTold() {
        // The kept copy changed and the trashed copy was emptied from the Trash.
        test::TempDir::writeFileAtAnyDepth(m_kept, "something else now");
        std::filesystem::remove_all(m_sandbox->home() + "/.local/share/Trash/files");
        HistoryWindow window;
        RemovedItemsModel* files = window.filesModel();
        QCOMPARE(statuses(*files), (QStringList{QStringLiteral("Cannot be restored"), QStringLiteral("Cannot be restored")}));
        QVERIFY(!(files->flags(files->index(0, 0)) & Qt::ItemIsUserCheckable));
        QVERIFY(!files->setData(files->index(0, 0), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(!window.restoreButton()->isEnabled());
        QVERIFY(!std::filesystem::exists(m_deleted));
    }
};

QTEST_MAIN(HistoryWindowTest)
#include "HistoryWindowTest.moc"
