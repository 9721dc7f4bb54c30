// "Konfiguracja linii rozszerzonych": the extended lines XL1..XL16 fed by an expansion
// module or an energy meter. Each group of eight lines shares one sensor type and one pair
// of thresholds; each line has its alarm directions, SMS recipients and notification text;
// the communication check has its recipients and text; e-mail addresses receive all of them.
// Owns XCFG1..XCFG17, SXML, XTYP1 and XTYP9 (rebuilt from zero), XMS1..XMS17, the group
// thresholds, and bits 0 and 5 of MCFG2.
#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <array>
#include <vector>

#include "config/model/conversions.h"
#include "config/ui/kit/bit_boxes.h"
#include "config/ui/kit/settings_dialog.h"
#include "config/ui/kit/threshold_edit.h"

class QGridLayout;

namespace kavrel::config::ui {

class Cextlines : public SettingsDialog {
    Q_OBJECT
public:
    static constexpr int kLines = 16;
    static constexpr int kCommunicationCheck = 17;  // XCFG17, XMS17

    explicit Cextlines(const SettingsImage& record, QWidget* parent = nullptr);

protected:
    void writeBack() override;

private:
    // The type boxes of a group carry their type code as id: "T/D" 2, "RH" 1. The group of
    // them is named after XTYPn bits 0..2, the guard-hours box after bit 3.
    struct LineGroup {
        Field type, lower, upper;  // XTYP1, XLO1, XHI1 or XTYP9, XLO9, XHI9
        int firstLine;
        QButtonGroup* types = nullptr;
        ThresholdEdit* lowerEdit = nullptr;
        ThresholdEdit* upperEdit = nullptr;
        QCheckBox* guardHoursOnly = nullptr;
        std::uint8_t typeCode = 0;  // decides how the thresholds are shown and read
    };

    QLineEdit* text(int n) const { return texts_[static_cast<std::size_t>(n - 1)]; }
    int addGroup(QGridLayout* grid, int row, LineGroup& group);
    int addLine(QGridLayout* grid, int row, int n, const QString& caption, int firstBit);
    void fill();
    void typeToggled(LineGroup& group, int code, bool checked);

    std::array<LineGroup, 2> groups_{{{Field::Xtyp1, Field::Xlo1, Field::Xhi1, 1},
                                      {Field::Xtyp9, Field::Xlo9, Field::Xhi9, 9}}};
    std::array<QLineEdit*, kCommunicationCheck> texts_{};
    std::vector<BitBox> bitBoxes_;     // XCFGn and SXML, rebuilt from zero
    std::vector<BitBox> sharedBoxes_;  // MCFG2 bits 0 and 5, changed bit by bit
};

} // namespace kavrel::config::ui
