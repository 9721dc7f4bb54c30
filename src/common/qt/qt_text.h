// Conversion between the core's Windows-1250 byte strings and QString.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace kavrel {

QString toQString(std::string_view cp1250Text);
std::string fromQString(const QString& text);

} // namespace kavrel
