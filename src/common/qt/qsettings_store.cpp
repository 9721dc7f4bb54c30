#include "common/qt/qsettings_store.h"

#include <QSettings>
#include <QStringList>
#include <memory>

#include "common/qt/qt_text.h"

namespace kavrel {
namespace {

// Marks a key that exists but holds no values yet (QSettings keeps no empty groups).
constexpr auto kPresenceMarker = "_klucz";

struct OpenedKey {
    std::unique_ptr<QSettings> settings;
    bool valid = false;
};

OpenedKey openKey(std::string_view keyPath) {
    QStringList parts = toQString(keyPath).split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    if (parts.size() < 3 || parts[0].compare(QLatin1String("Software"), Qt::CaseInsensitive) != 0)
        return {};
    OpenedKey key;
    key.settings = std::make_unique<QSettings>(parts[1], parts[2]);
    if (parts.size() > 3) key.settings->beginGroup(parts.mid(3).join(QLatin1Char('/')));
    key.valid = true;
    return key;
}

} // namespace

bool QSettingsStore::keyExists(std::string_view keyPath) const {
    const OpenedKey key = openKey(keyPath);
    return key.valid && !key.settings->childKeys().isEmpty();
}

bool QSettingsStore::createKey(std::string_view keyPath) {
    OpenedKey key = openKey(keyPath);
    if (!key.valid) return false;
    if (key.settings->childKeys().isEmpty()) key.settings->setValue(QLatin1String(kPresenceMarker), 1);
    key.settings->sync();
    return key.settings->status() == QSettings::NoError;
}

std::optional<StoreValue> QSettingsStore::read(std::string_view keyPath, std::string_view name) const {
    const OpenedKey key = openKey(keyPath);
    if (!key.valid) return std::nullopt;
    const QVariant value = key.settings->value(toQString(name));
    if (!value.isValid()) return std::nullopt;
    // Settings files give numbers back as texts; RegistryKey reads a text of digits as a number.
    if (value.typeId() == QMetaType::QString) return StoreValue{fromQString(value.toString())};
    bool ok = false;
    const uint number = value.toUInt(&ok);
    if (ok) return StoreValue{std::uint32_t{number}};
    return StoreValue{fromQString(value.toString())};
}

bool QSettingsStore::write(std::string_view keyPath, std::string_view name, const StoreValue& value) {
    OpenedKey key = openKey(keyPath);
    if (!key.valid) return false;
    if (const auto* number = std::get_if<std::uint32_t>(&value))
        key.settings->setValue(toQString(name), static_cast<uint>(*number));
    else
        key.settings->setValue(toQString(name), toQString(std::get<std::string>(value)));
    key.settings->sync();
    return key.settings->status() == QSettings::NoError;
}

} // namespace kavrel
