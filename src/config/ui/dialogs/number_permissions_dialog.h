// "Uprawnienia numerów": which of the ten phone numbers receive the periodic report, may
// ask for a report by calling (CLIP), may control the module by SMS and may open a CSD
// data call; "DOWOLNY" grants the last three to any caller. The CSD row is shown but
// cannot be changed here.
#pragma once

#include <vector>

#include "config/ui/kit/bit_boxes.h"
#include "config/ui/kit/settings_dialog.h"

namespace kavrel::config::ui {

class Cuprawnienia : public SettingsDialog {
    Q_OBJECT
public:
    explicit Cuprawnienia(const SettingsImage& record, QWidget* parent = nullptr);

protected:
    void writeBack() override;

private:
    std::vector<BitBox> bits_;
};

} // namespace kavrel::config::ui
