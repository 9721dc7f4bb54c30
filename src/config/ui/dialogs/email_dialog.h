// "Ustawienia wiadomości e-mail": which e-mail addresses receive the alarms of L1..L8 and
// the report, and when and to whom the event log is mailed. Owns SEML1..SEML8, RCFG value 2,
// SLOG and SLGT, which it rebuilds from zero.
#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <vector>

#include "common/qt/fields/field_edits.h"
#include "config/ui/kit/bit_boxes.h"
#include "config/ui/kit/settings_dialog.h"

namespace kavrel::config::ui {

class Custaw_emaili : public SettingsDialog {
    Q_OBJECT
public:
    explicit Custaw_emaili(const SettingsImage& record, QWidget* parent = nullptr);


protected:
    void writeBack() override;

private:
    QWidget* buildNotifications();
    QWidget* buildLogMailing();

    std::vector<BitBox> bitBoxes_;
    kavrel::ui::NumberEdit* hour_ = nullptr;
    QButtonGroup* interval_ = nullptr;  // ids 0..3: every 1, 2, 3, 7 days
};

} // namespace kavrel::config::ui
