#include "gui/MainQueueBridge.h"
#include "gui/MainWindow.h"
#include "gui/GuiText.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QIcon>

#include <malloc.h>

int main(int argc, char** argv) {
    // One malloc arena for all threads, as the command has, for the same
    // reason: a scan allocates its items and its result on a dozen threads,
    // and what one thread's arena frees no other arena reuses.
    ::mallopt(M_ARENA_MAX, 1);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrane"));
    QApplication::setApplicationDisplayName(QStringLiteral("Kestrane"));
    QApplication::setApplicationVersion(QStringLiteral(KESTRANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("kestrane"));
    // Icons come from the desktop's theme; Adwaita stands in where the
    // desktop brings none or lacks one.
    QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("kestrane"), QIcon(QStringLiteral(":/kestrane/kestrane.svg"))));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Finds duplicate files, duplicate folders and similar folders in the folders you choose."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("folders"), QStringLiteral("Folders to put on the list to scan."),
                                 QStringLiteral("[FOLDER...]"));
    parser.process(app);

    kestrane::gui::MainQueueBridge bridge;
    kestrane::gui::MainWindow window;
    std::vector<std::string> folders;
    for (const QString& folder : parser.positionalArguments())
        folders.push_back(kestrane::gui::toStdString(QFileInfo(folder).absoluteFilePath()));
    window.show();
    window.dropPaths(folders);
    return app.exec();
}
