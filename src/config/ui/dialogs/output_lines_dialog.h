// "Konfiguracja linii wyjściowych": remanence and signalling of the outputs O1..O6, the
// thermostats L1-O1, L2-O3 and L5-O5, the guard-hours and alarm signalling on O4 and O6, the
// alarm signalling time and the buzzer. Owns OCFG1..OCFG6 (rebuilt from zero) and ATIM, and
// bit 6 of MCFG2.
#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <array>

class QGridLayout;
class QGroupBox;

#include "common/qt/fields/field_edits.h"
#include "config/ui/kit/bit_boxes.h"
#include "config/ui/kit/settings_dialog.h"

namespace kavrel::config::ui {

class Clinie_wyjsciowe : public SettingsDialog {
    Q_OBJECT
public:
    static constexpr int kOutputs = 6;

    explicit Clinie_wyjsciowe(const SettingsImage& record, QWidget* parent = nullptr);

protected:
    void writeBack() override;

private:
    // One output's boxes, each named after its OCFGn bit; a box its row does not have stays
    // null. On an output with a thermostat, `exclusive` holds signalling, heating and
    // cooling (ids kSignal..kCooling), of which at most one may be ticked.
    enum ExclusiveId { kSignal, kHeating, kCooling };
    struct OutputRow {
        QCheckBox* remanence = nullptr;
        QCheckBox* signal = nullptr;
        QCheckBox* heating = nullptr;
        QCheckBox* cooling = nullptr;
        QCheckBox* extra = nullptr;  // bit 2 on O4 (guard hours) and O6 (alarm state)
        QButtonGroup* exclusive = nullptr;
    };

    void addOutputRows(QGridLayout* grid);
    QGroupBox* makeAlarmGroup();
    QGroupBox* makeBuzzerGroup();
    void nameBoxes();
    void fill();
    std::array<BitBox, 1> buzzerBit() const;
    static void keepOneTicked(QButtonGroup* group, int id, bool checked);

    std::array<OutputRow, kOutputs> rows_{};
    kavrel::ui::NumberEdit* alarmTime_ = nullptr;
    QCheckBox* buzzer_ = nullptr;
};

} // namespace kavrel::config::ui
