// Everything the monitor window shows, as plain data: the decoded replies and the
// settings are put into a MonitorDisplay, and the window (or the command-line tool)
// draws it. Elements a reply does not touch keep what they showed before, as on screen.
#pragma once

#include <array>
#include <string>

#include "monitor/measurement.h"
#include "monitor/monitor_settings.h"

namespace kavrel::monitor {

struct BarRange {
    int minimum = 0;
    int maximum = 0;
    bool operator==(const BarRange&) const = default;
};

struct InputLineDisplay {
    std::string name;              // name label
    BarRange barRange;
    int barPosition = 0;
    std::string value;             // value field, "°C" in Windows-1250
    bool alarmShown = false;       // alarm label
    std::string alarmText = "Alarm";
};

struct ExtendedLineDisplay {
    std::string name;              // name label, "Linia XLn" when no name is set
    bool high = false;             // "H" check box
    bool low = false;              // "L" check box
    std::string value;             // value field
};

struct MonitorDisplay {
    std::array<InputLineDisplay, kInputLines> lines;
    std::array<bool, kOutputLines> outputs{};        // O1..O6 check boxes
    bool alarmStateShown = false;                    // " Stan alarmowy"
    int gsmBar = 0;                                  // signal bar, range 0..31
    int gsmNumber = 0;                               // number field beside it
    bool noNetworkShown = false;                     // "Brak sieci GSM"
    int smsCount = 0;
    int emailCount = 0;
    int rowNumber = 0;                               // "Liczba pomiarów"
    int answeredPolls = 0;                           // the field after the slash
    std::string statusText;                          // "Brak połączenia z Kavrel" until a status is set
    bool statusShown = false;
    std::string portField;                           // "COM1" or "TCP/IP"
    std::string fileNameField;                       // results file, or "BEZ ZAPISU DO PLIKU!"
    int periodField = 0;                             // "Okres zapisu" in minutes
    std::array<ExtendedLineDisplay, kExtendedLines> extended;

    MonitorDisplay();
};

// The bar range of an input line: the settings' minimum..maximum unless both are 0, then
// the line type's range (Voltage 0..4092 mV, Temperature 0..40, Humidity 0..100).
BarRange barRange(const MonitorSettings& settings, int line);

// The bar position of a reading: its leading number truncated towards zero; a Voltage
// reading in volts (a "V" in the text) is put on the millivolt scale.
int barPosition(const std::string& value, LineType type);

// Line names, bar ranges, port ("TCP/IP" over TCP, else the settings' COM number), file
// name, period and extended-line names.
void showSettings(MonitorDisplay& display, const MonitorSettings& settings, bool overTcp);

// A decoded "MSR=" reply: bars, values, alarm labels, outputs, alarm state, GSM,
// counters and the extended lines' H/L boxes and values by the reply's extMode.
void showMeasurement(MonitorDisplay& display, const MeasurementSnapshot& snapshot, const MonitorSettings& settings);

// A decoded "MSRX=" reply: the readings that are temperatures, humidities or supply
// states replace what the masks put into the extended lines' value fields.
void showExtendedReadings(MonitorDisplay& display, const ExtendedReadings& readings);

// Blanks the readings; counters, the GSM number and the status stay.
void clearReadings(MonitorDisplay& display);

} // namespace kavrel::monitor
