#include "gui/GuiText.h"

#include "app/ScanFlowController.h"

#include <QDateTime>
#include <QLocale>

namespace kestrane::gui {

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string toStdString(const QString& text) {
    return text.toStdString();
}

QStringList toQStringList(const std::vector<std::string>& texts) {
    QStringList list;
    list.reserve(static_cast<qsizetype>(texts.size()));
    for (const auto& text : texts) list.push_back(toQString(text));
    return list;
}

std::vector<std::string> toStdStrings(const QStringList& texts) {
    std::vector<std::string> list;
    list.reserve(static_cast<std::size_t>(texts.size()));
    for (const auto& text : texts) list.push_back(toStdString(text));
    return list;
}

QString sizeText(std::uint64_t bytes) {
    return QLocale().formattedDataSize(static_cast<qint64>(bytes), 1, QLocale::DataSizeSIFormat);
}

QString countText(std::uint64_t number) {
    return toQString(ScanFlowController::formatNumber(number));
}

QString dateText(const platform::FileTime& time) {
    const QDateTime date = QDateTime::fromSecsSinceEpoch(time.seconds);
    return QLocale().toString(date, QLocale::ShortFormat);
}

QString categoryTitle(FileCategory category) {
    switch (category) {
        case FileCategory::image: return QStringLiteral("Images");
        case FileCategory::video: return QStringLiteral("Videos");
        case FileCategory::music: return QStringLiteral("Music");
        case FileCategory::document: return QStringLiteral("Documents");
        case FileCategory::archive: return QStringLiteral("Archives");
        case FileCategory::other: return QStringLiteral("Other");
        case FileCategory::folders: return QStringLiteral("Duplicate Folders");
    }
    return {};
}

QString categoryIconName(FileCategory category) {
    switch (category) {
        case FileCategory::image: return QStringLiteral("image-x-generic");
        case FileCategory::video: return QStringLiteral("video-x-generic");
        case FileCategory::music: return QStringLiteral("audio-x-generic");
        case FileCategory::document: return QStringLiteral("x-office-document");
        case FileCategory::archive: return QStringLiteral("package-x-generic");
        case FileCategory::other: return QStringLiteral("text-x-generic");
        case FileCategory::folders: return QStringLiteral("folder");
    }
    return {};
}

QString lastComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos || path.size() == 1) return toQString(path);
    return toQString(path.substr(slash + 1));
}

}  // namespace kestrane::gui

namespace kestrane::gui {

QString shortPath(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    const auto last = path.rfind('/');
    if (last == std::string_view::npos || last == 0) return toQString(path);
    const auto before = path.rfind('/', last - 1);
    return toQString(before == std::string_view::npos ? path : path.substr(before + 1));
}

QIcon themeIcon(const QString& name) {
    if (QIcon::hasThemeIcon(name)) return QIcon::fromTheme(name);
    return QIcon::fromTheme(name + QStringLiteral("-symbolic"));
}

QIcon themeIcon(const QString& name, const QIcon& fallback) {
    const QIcon icon = themeIcon(name);
    return icon.isNull() ? fallback : icon;
}

}  // namespace kestrane::gui
