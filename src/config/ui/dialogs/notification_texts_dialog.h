// "Teksty powiadomień SMS / e-mail": the alarm texts of L1..L8, the periodic report and
// the report on demand, stored exactly as typed ("@" codes included); "Kody..." opens the
// help that lists the codes.
#pragma once

#include <array>

#include "config/ui/kit/settings_dialog.h"

namespace kavrel::ui {
class TextEdit;
}

namespace kavrel::config::ui {

class Cteksty : public SettingsDialog {
    Q_OBJECT
public:
    explicit Cteksty(const SettingsImage& record, QWidget* parent = nullptr);

protected:
    void writeBack() override;

private:
    std::array<kavrel::ui::TextEdit*, 10> texts_{};  // by SMS number: 0 periodic report, 1..8 lines, 9 on demand
};

} // namespace kavrel::config::ui
