#include "link/qt/serial_port_model.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <set>

#include "link/ports/port_mapping.h"

namespace kavrel {
QString devicePathText(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }
std::string devicePathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString unlistedDeviceDescription(const QString& device) {
#ifdef Q_OS_WIN
    Q_UNUSED(device);
    return QStringLiteral("(port nieobecny)");
#else
    return QFileInfo::exists(device) ? QStringLiteral("(przypisane urządzenie)") : QStringLiteral("(urządzenie nieobecne)");
#endif
}

SerialPortModel::SerialPortModel(SerialPortSource source, const SettingsStore* settings, QObject* parent)
    : QAbstractTableModel(parent), source_(std::move(source)), settings_(settings) {
    refresh();
}

void SerialPortModel::refresh() {
    beginResetModel();
    rows_.clear();
#ifdef Q_OS_WIN
    // COM n is the port COMn itself.
    for (const SerialPortEntry& port : source_()) {
        const std::optional<int> number = windowsComNumber(port.device);
        rows_.append({port, number ? std::vector<int>{*number} : std::vector<int>{}});
    }
#else
    const std::vector<std::string> table = link::comDeviceTable(settings_);
    std::set<std::string> listed;
    for (const SerialPortEntry& port : source_()) {
        // A number stored with the adapter's stable name reaches it as well as one stored
        // with its present ttyUSB name.
        std::vector<int> numbers = link::comNumbersReaching(devicePathBytes(port.device), table);
        listed.insert(devicePathBytes(port.device));
        if (!port.stableName.isEmpty()) {
            const std::string stable = devicePathBytes(port.stableName);
            for (int number : link::comNumbersReaching(stable, table)) numbers.push_back(number);
            std::sort(numbers.begin(), numbers.end());
            listed.insert(stable);
        }
        rows_.append({port, numbers});
    }
    // Devices that COM numbers were pointed at by hand or by the environment but that
    // the system does not list; the default /dev/ttyS paths of unmapped numbers are
    // left out, as the system lists those that have a port behind them.
    for (std::size_t i = 0; i < table.size(); ++i) {
        const int number = static_cast<int>(i) + link::kFirstComNumber;
        const std::string& device = table[i];
        // (The default is compared by name: serialDevicePath would give the environment's device.)
        if (listed.count(device) || device == "/dev/ttyS" + std::to_string(number - 1)) continue;
        listed.insert(device);
        SerialPortEntry port;
        port.device = devicePathText(device);
        port.description = unlistedDeviceDescription(port.device);
        port.access = link::portAccess(device);
        rows_.append({port, link::comNumbersReaching(device, table)});
    }
#endif
    endResetModel();
}

int SerialPortModel::rowOf(const QString& device) const {
    for (int row = 0; row < rows_.size(); ++row)
        if (rows_[row].port.device == device || (!device.isEmpty() && rows_[row].port.stableName == device)) return row;
    return -1;
}

int SerialPortModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(rows_.size()); }

int SerialPortModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant SerialPortModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_.size() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const Row& row = rows_[index.row()];
    // The stable name is long: the device cell shows it when pointed at.
    if (role == Qt::ToolTipRole && index.column() == kDevice && !row.port.stableName.isEmpty())
        return row.port.stableName;
    switch (index.column()) {
    case kDevice: return row.port.device;
    case kDescription: return row.port.description;
    case kManufacturer: return row.port.manufacturer;
    case kSerialNumber: return row.port.serialNumber;
    case kUsbId: return row.port.usbId();
    case kComNumbers: return comNumbersText(row.comNumbers);
    case kAccess: return QString::fromUtf8(link::portAccessMark(row.port.access));
    default: return {};
    }
}

QVariant SerialPortModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const kHeaders[kColumnCount] = {"Urządzenie", "Opis",         "Producent",
                                                       "Numer seryjny", "USB VID:PID", "Porty COM", "Stan"};
    return section >= 0 && section < kColumnCount ? QString::fromUtf8(kHeaders[section]) : QVariant();
}

} // namespace kavrel
