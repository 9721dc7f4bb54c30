#include "common/qt/qt_path.h"

#include <QFile>

namespace kavrel {

#ifdef _WIN32
std::filesystem::path pathFromQString(const QString& text) { return std::filesystem::path(text.toStdWString()); }

QString qStringFromPath(const std::filesystem::path& path) { return QString::fromStdWString(path.native()); }
#else
std::filesystem::path pathFromQString(const QString& text) {
    const QByteArray bytes = QFile::encodeName(text);
    return std::filesystem::path(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

QString qStringFromPath(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray(path.native().data(), static_cast<qsizetype>(path.native().size())));
}
#endif

} // namespace kavrel
