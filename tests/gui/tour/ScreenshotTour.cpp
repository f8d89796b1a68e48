// Walks through every screen of the app on a generated tree, offscreen, and
// writes a picture of each into a folder: scripts/screenshots.sh runs it to
// make the pictures the README shows. Usage:
//   kestrane_screenshot_tour OUTPUT_FOLDER [--dark]
#include "GuiTestSupport.h"

#include "app/ScanFlowController.h"
#include "duplicates/DuplicatesManager.h"
#include "gui/FolderTreePanel.h"
#include "gui/HistoryWindow.h"
#include "gui/MainWindow.h"
#include "gui/MergeDialog.h"
#include "gui/PreferencesDialog.h"
#include "gui/QtQuestionAsker.h"
#include "gui/ResultsScreen.h"
#include "gui/ReviewPanel.h"
#include "gui/WelcomeScreen.h"
#include "merge/MergeOperationData.h"
#include "settings/Settings.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QIcon>
#include <QImage>
#include <QMessageBox>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTreeView>

#include <cstdio>
#include <iostream>

using namespace kestrane;

namespace {

QString g_output;
int g_written = 0;

void save(QWidget* widget, const QString& name) {
    // Previews are decoded in the background.
    QTest::qWait(400);
    const QString path = g_output + QLatin1Char('/') + name + QStringLiteral(".png");
    if (widget->grab().save(path)) {
        ++g_written;
        std::cout << path.toStdString() << "\n";
    } else {
        std::cerr << "could not write " << path.toStdString() << "\n";
    }
}

// The window with the question box drawn over its middle, as a person sees it.
void saveWithQuestion(QWidget* window, QMessageBox* box, const QString& name) {
    QTest::qWait(200);
    QImage picture = window->grab().toImage();
    const QImage boxPicture = box->grab().toImage();
    QPainter painter(&picture);
    painter.fillRect(picture.rect(), QColor(0, 0, 0, 60));
    const QPoint at((picture.width() - boxPicture.width()) / 2, (picture.height() - boxPicture.height()) / 3);
    painter.drawImage(at, boxPicture);
    painter.end();
    const QString path = g_output + QLatin1Char('/') + name + QStringLiteral(".png");
    if (picture.save(path)) {
        ++g_written;
        std::cout << path.toStdString() << "\n";
    }
}

// A small landscape picture, different for every seed, as JPEG bytes.
std::string photo(int seed) {
    QImage image(480, 320, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, 320);
    sky.setColorAt(0, QColor::fromHsv((seed * 37) % 360, 90, 240));
    sky.setColorAt(1, QColor::fromHsv((seed * 37 + 40) % 360, 160, 150));
    painter.fillRect(image.rect(), sky);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(255, 230, 150));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPoint(80 + (seed * 53) % 320, 70), 34, 34);
    painter.setBrush(QColor::fromHsv((seed * 71) % 360, 120, 90));
    QPolygon hills;
    hills << QPoint(0, 320) << QPoint(0, 220);
    for (int x = 0; x <= 480; x += 40) hills << QPoint(x, 200 + ((x * seed) % 70));
    hills << QPoint(480, 320);
    painter.drawPolygon(hills);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 85);
    return bytes.toStdString();
}

void makeTree(test::TempDir& tree) {
    for (int album = 1; album <= 3; ++album) {
        const std::string folder = "Pictures/Holiday " + std::to_string(2020 + album);
        for (int photo = 1; photo <= 6; ++photo) {
            const std::string name = "IMG_" + std::to_string(album * 100 + photo) + ".jpg";
            const std::string content = ::photo(album * 10 + photo);
            tree.writeFile(folder + "/" + name, content);
            if (photo <= 4) tree.writeFile("Backup/Holiday " + std::to_string(2020 + album) + "/" + name, content);
            if (photo == 1) tree.writeFile("Downloads/" + name, content);
        }
        tree.writeFile("Backup/Holiday " + std::to_string(2020 + album) + "/notes.txt", "only in the backup");
    }
    tree.writeFile("Documents/Report.txt", "Quarterly report\n\nSales went up.\n" + std::string(3000, '.'));
    tree.writeFile("Documents/Report copy.txt", "Quarterly report\n\nSales went up.\n" + std::string(3000, '.'));
    tree.writeFile("Documents/Old/Report (2).txt", "Quarterly report\n\nSales went up.\n" + std::string(3000, '.'));
    for (const char* copy : {"Music/Album", "Music/Album (copy)"}) {
        tree.writeFile(std::string(copy) + "/01 Song.ogg", test::noise(90000, 900));
        tree.writeFile(std::string(copy) + "/02 Song.ogg", test::noise(80000, 901));
    }
}

void darken(QApplication& app) {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(45, 45, 48));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Base, QColor(30, 30, 32));
    dark.setColor(QPalette::AlternateBase, QColor(40, 40, 43));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Button, QColor(55, 55, 58));
    dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    dark.setColor(QPalette::Highlight, QColor(53, 132, 228));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::PlaceholderText, QColor(150, 150, 150));
    dark.setColor(QPalette::ToolTipBase, QColor(55, 55, 58));
    dark.setColor(QPalette::ToolTipText, QColor(230, 230, 230));
    app.setPalette(dark);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrane"));
    QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::cerr << "usage: kestrane_screenshot_tour OUTPUT_FOLDER [--dark]\n";
        return 2;
    }
    g_output = args[1];
    const bool dark = args.contains(QStringLiteral("--dark"));
    const QString suffix = dark ? QStringLiteral("-dark") : QString();
    if (dark) darken(app);
    QDir().mkpath(g_output);

    test::GuiSandbox sandbox;
    makeTree(sandbox.tree());
    Settings settings = Settings::standard();
    settings.setDefineMinimalDuplicatesFileSizeAutomatically(false);
    settings.setDefineMinimalDuplicatesFileSizeAsZero(true);

    gui::MainWindow window;
    window.resize(1180, 720);
    window.show();
    save(&window, QStringLiteral("welcome-empty") + suffix);
    window.dropPaths({sandbox.tree() / "Pictures", sandbox.tree() / "Backup", sandbox.tree() / "Downloads",
                      sandbox.tree() / "Documents", sandbox.tree() / "Music"});
    test::waitUntil([&] { return window.welcomeScreen()->startButton()->isEnabled() && !window.flow()->isAddingPaths(); });
    save(&window, QStringLiteral("welcome") + suffix);

    window.welcomeScreen()->startButton()->click();
    test::waitUntil([&] { return window.flow()->screen() != ScanFlowController::Screen::scan || !window.flow()->scanner(); });
    save(&window, QStringLiteral("scan") + suffix);
    test::waitUntil([&] { return window.currentScreen() == window.resultsScreen(); });

    gui::ResultsScreen* results = window.resultsScreen();
    results->groupsView()->expandAll();
    save(&window, QStringLiteral("results") + suffix);
    results->showCategory(FileCategory::document);
    save(&window, QStringLiteral("results-documents") + suffix);
    results->showCategory(FileCategory::folders);
    save(&window, QStringLiteral("duplicate-folders") + suffix);
    results->showSimilarFolders();
    save(&window, QStringLiteral("similar-folders") + suffix);

    // The largest pair merged: its preview, then the copy done.
    window.action(QStringLiteral("merge"))->trigger();
    if (gui::MergeDialog* merge = results->mergeDialog()) {
        merge->resize(720, 620);
        save(merge, QStringLiteral("merge-preview") + suffix);
        merge->mergeButton()->click();
        test::waitUntil([&] { return merge->merge()->state() == MergeState::ViewResult; });
        save(merge, QStringLiteral("merge-result") + suffix);
        merge->close();
        test::waitUntil([&] { return results->mergeDialog() == nullptr; });
    }

    window.showFolderTree();
    test::waitUntil([&] { return window.folderTreePanel()->isReady(); });
    save(&window, QStringLiteral("select-in-folder") + suffix);
    window.folderTreePanel()->close();

    window.action(QStringLiteral("back"))->trigger();
    save(&window, QStringLiteral("summary") + suffix);
    window.flow()->showResultsScreen();

    window.action(QStringLiteral("newScan"))->trigger();
    if (QMessageBox* box = test::waitForQuestion(window.questions())) {
        saveWithQuestion(&window, box, QStringLiteral("question") + suffix);
        test::answerQuestion(box, QStringLiteral("Cancel"));
    }

    // The photos' copies auto-selected, reviewed and moved to the sandbox's Trash.
    results->showCategory(FileCategory::image);
    results->autoSelect();
    if (QMessageBox* box = test::waitForQuestion(window.questions())) test::answerQuestion(box, QStringLiteral("OK"));
    test::waitUntil([&] { return !window.questions().currentBox(); });
    window.showReview();
    gui::ReviewPanel* review = window.reviewPanel();
    review->view()->expandAll();
    save(&window, QStringLiteral("review") + suffix);
    review->removeButton()->click();
    if (QMessageBox* box = test::waitForQuestion(window.questions(), 500)) test::answerQuestion(box, QStringLiteral("OK"));
    test::waitUntil([&] { return !review->isRemoving() && !review->resultLines().isEmpty(); });
    save(&window, QStringLiteral("removed") + suffix);
    window.showHistory();
    if (gui::HistoryWindow* history = window.historyWindow()) {
        history->resize(900, 520);
        save(history, QStringLiteral("history") + suffix);
        history->close();
    }

    gui::PreferencesDialog preferences(&window);
    preferences.show();
    const char* names[] = {"preferences-scan", "preferences-skip-list", "preferences-auto-select",
                           "preferences-removal", "preferences-messages"};
    for (int tab = 0; tab < preferences.tabs()->count(); ++tab) {
        preferences.tabs()->setCurrentIndex(tab);
        save(&preferences, QString::fromLatin1(names[tab]) + suffix);
    }
    preferences.close();
    DuplicatesManager::sharedManager().setDuplicateContainer(nullptr);
    std::cout << g_written << " pictures written\n";
    return g_written > 0 ? 0 : 1;
}
