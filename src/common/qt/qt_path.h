// File names between Qt and std::filesystem: a QString is UTF-16, which Windows opens as it
// is; Linux opens the UTF-8 bytes. Every path a window hands to the core, or shows from it,
// passes here, never through toStdString() (which the core would read as the ANSI code page).
#pragma once

#include <QString>
#include <filesystem>

namespace kavrel {

std::filesystem::path pathFromQString(const QString& text);
QString qStringFromPath(const std::filesystem::path& path);

} // namespace kavrel
