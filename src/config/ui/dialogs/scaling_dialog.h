// "Współczynniki skalowania wyników pomiarów (S)": the factors A and B by which an input
// line of type "S" reports y = A·x/1000 + B instead of its raw reading.
#pragma once

#include <array>

#include "config/ui/kit/settings_dialog.h"

namespace kavrel::ui {
class NumberEdit;
}

namespace kavrel::config::ui {

class Cskalowanie : public SettingsDialog {
    Q_OBJECT
public:
    explicit Cskalowanie(const SettingsImage& record, QWidget* parent = nullptr);

protected:
    void writeBack() override;

private:
    std::array<kavrel::ui::NumberEdit*, 8> factorsA_{};  // by line L1..L8
    std::array<kavrel::ui::NumberEdit*, 8> offsetsB_{};
};

} // namespace kavrel::config::ui
