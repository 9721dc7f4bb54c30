#include "common/qt/qt_text.h"

#include "common/win1250.h"

namespace kavrel {

QString toQString(std::string_view cp1250Text) {
    const std::u16string utf16 = cp1250::toUtf16(cp1250Text);
    return QString(reinterpret_cast<const QChar*>(utf16.data()), static_cast<qsizetype>(utf16.size()));
}

std::string fromQString(const QString& text) {
    return cp1250::fromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                                 static_cast<std::size_t>(text.size())));
}

} // namespace kavrel
