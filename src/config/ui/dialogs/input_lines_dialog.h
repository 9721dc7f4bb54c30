// "Konfiguracja linii wejściowych": sensor type, thresholds, alarm directions, SMS
// recipients, notification options and alarm delay of the input lines L1..L8, the two dead
// bands and the alarm-state masks. Owns ICFGn, SCFGn, ECFGn and ALMD, which it rebuilds from
// zero, and ULOn, UHIn, ADELn, HIST1, HIST2.
#pragma once

#include <QButtonGroup>
#include <QGridLayout>
#include <QCheckBox>
#include <array>
#include <vector>

#include "common/qt/fields/field_edits.h"
#include "config/model/conversions.h"
#include "config/ui/kit/bit_boxes.h"
#include "config/ui/kit/settings_dialog.h"
#include "config/ui/kit/threshold_edit.h"

namespace kavrel::config::ui {

class Clinie_wejsciowe : public SettingsDialog {
    Q_OBJECT
public:
    static constexpr int kLines = 8;

    // The sensor types a line may offer, in the order of their columns.
    struct SensorType {
        const char* caption;
        std::uint8_t typeCode;  // SCFGn bits 0..2
        bool sensorBit;         // ICFGn bit 7
        std::uint8_t lines;     // bit n-1 set: line Ln offers this type

        // How the thresholds read while it is ticked.
        LineCategory category() const { return lineCategory(sensorBit ? kLineSensorBit : 0, typeCode); }
    };
    static const std::array<SensorType, 7> kSensorTypes;

    explicit Clinie_wejsciowe(const SettingsImage& record, QWidget* parent = nullptr);

protected:
    void writeBack() override;

private:
    // The controls of one line; `sensors` holds the line's type boxes with the index of
    // their kSensorTypes row as id, and is named after SCFGn bits 0..2, which they set.
    struct LineRow {
        QButtonGroup* sensors = nullptr;
        ThresholdEdit* lower = nullptr;
        ThresholdEdit* upper = nullptr;
        QLineEdit* delay = nullptr;
        LineCategory category = LineCategory::Voltage;
    };

    void buildLineRows(QGridLayout* grid);
    QWidget* buildBottom();
    void fill();
    void sensorToggled(int line, int type, bool checked);

    std::array<LineRow, kLines> rows_{};
    std::vector<BitBox> bitBoxes_;  // per-line options and the alarm-state masks
    std::array<kavrel::ui::NumberEdit*, 2> deadBands_{};
};

} // namespace kavrel::config::ui
