// The table of the port picker: one row per serial port present, and one per device a
// COM number is mapped to that the system does not list (a simulator's pseudo-terminal,
// an adapter that is unplugged), with the COM numbers that reach each device (by its path
// or by its stable name) and whether this user can open it.
#pragma once

#include <QAbstractTableModel>
#include <string>
#include <vector>

#include "link/qt/serial_port_list.h"
#include "common/settings_store.h"

namespace kavrel {

class SerialPortModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kDevice, kDescription, kManufacturer, kSerialNumber, kUsbId, kComNumbers, kAccess, kColumnCount };

    // settings: where the COM numbers' devices are stored (nullptr: defaults only).
    SerialPortModel(SerialPortSource source, const SettingsStore* settings, QObject* parent = nullptr);

    // Lists the ports again and re-reads the mappings.
    void refresh();

    const SerialPortEntry& entry(int row) const { return rows_.at(row).port; }
    const std::vector<int>& comNumbers(int row) const { return rows_.at(row).comNumbers; }
    // The row of a device, named by its path or by its stable name, or -1.
    int rowOf(const QString& device) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Row {
        SerialPortEntry port;
        std::vector<int> comNumbers;
    };

    SerialPortSource source_;
    const SettingsStore* settings_;
    QList<Row> rows_;
};

// Device paths in the COM table are the file system's bytes (UTF-8 here), not texts of the
// module's code page: "/dev/serial/by-id/usb-Łódź" must show, be found and be stored as it is.
QString devicePathText(const std::string& path);
std::string devicePathBytes(const QString& path);

// The description given to a mapped device that the system does not list.
QString unlistedDeviceDescription(const QString& device);

} // namespace kavrel
