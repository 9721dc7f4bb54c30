// "Konfiguracja portu szeregowego (CSD)": the module's own serial port for data calls
// (the SCFG byte). Whichever button closes it, SCFG is rebuilt from the five choices, so
// values outside the known ranges come back as the nearest choice.
#pragma once

#include <QButtonGroup>
#include <array>

#include "config/ui/kit/settings_dialog.h"

namespace kavrel::config::ui {

class Ccsd : public SettingsDialog {
    Q_OBJECT
public:
    explicit Ccsd(const SettingsImage& record, QWidget* parent = nullptr);

    void done(int result) override;

protected:
    void writeBack() override {}

private:
    // interface, speed, character size, parity, stop bits
    std::array<QButtonGroup*, 5> groups_{};
};

} // namespace kavrel::config::ui
