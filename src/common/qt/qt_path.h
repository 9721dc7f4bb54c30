// File names between Qt and std::filesystem: a QString is UTF-16, which Windows opens as it
// is; Linux opens the UTF-8 bytes. Every std::filesystem::path a window makes or shows passes
// here. The UTF-8 of toStdString() suits only the core's functions that take a UTF-8 name
// (they convert it with pathFromUtf8); made into a path directly, Windows would read it in the
// ANSI code page.
#pragma once

#include <QString>
#include <filesystem>

namespace kavrel {

std::filesystem::path pathFromQString(const QString& text);
QString qStringFromPath(const std::filesystem::path& path);

} // namespace kavrel
