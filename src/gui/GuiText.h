#pragma once

#include "duplicates/FileCategory.h"
#include "platform/FileTime.h"

#include <QIcon>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Conversions between the core's byte strings and Qt's text, and the few
// ways the window writes sizes, dates and categories.
namespace kestrane::gui {

// Names and paths are bytes; shown as UTF-8 (bytes that are not UTF-8 show
// as replacement characters).
QString toQString(std::string_view text);
std::string toStdString(const QString& text);
QStringList toQStringList(const std::vector<std::string>& texts);
std::vector<std::string> toStdStrings(const QStringList& texts);

// "1.5 MB": powers of 1000, as the preferences count megabytes.
QString sizeText(std::uint64_t bytes);
// "12 345": digits in groups of three.
QString countText(std::uint64_t number);
// The date and time in the locale's short format.
QString dateText(const platform::FileTime& time);

// "Images", "Videos", ... "Folders".
QString categoryTitle(FileCategory category);
// The freedesktop icon name of a category.
QString categoryIconName(FileCategory category);

// The last component of a path ("/" for the root).
QString lastComponent(std::string_view path);
// The last two components ("Pictures/Holiday"), enough to tell apart two
// folders of the same name.
QString shortPath(std::string_view path);
// An icon of the desktop's theme, or its symbolic form where the theme has
// only that.
QIcon themeIcon(const QString& name);
QIcon themeIcon(const QString& name, const QIcon& fallback);

}  // namespace kestrane::gui
