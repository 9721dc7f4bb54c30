// "Ustawienia ogólne": the SMS centre with its operator shortcuts, the ten phone numbers,
// the SIM PIN, the network code, the hourly report and the guard hours with their days,
// the periodic report, the daily SMS limit, measurement logging, the display and
// confirmation options and the prepaid balance check.
#pragma once

#include <array>
#include <span>
#include <vector>

#include "config/ui/kit/bit_boxes.h"
#include "config/ui/kit/settings_dialog.h"

class QGridLayout;
class QLineEdit;

namespace kavrel::ui {
class NumberEdit;
class TextEdit;
}

namespace kavrel::config::ui {

class Custaw_ogolne : public SettingsDialog {
    Q_OBJECT
public:
    explicit Custaw_ogolne(const SettingsImage& record, QWidget* parent = nullptr);

    // The operator buttons beside the SMSC edit and the SMS-centre number each puts there.
    struct Operator {
        const char* name;
        const char* smsc;
    };
    static std::span<const Operator> operators();

protected:
    void writeBack() override;

private:
    QWidget* buildNumbers();
    QWidget* buildReports();
    QWidget* buildOptions();
    QWidget* buildLogging();
    QCheckBox* bitBox(const QString& caption, Field field, int bit);
    void addDayRow(QGridLayout* grid, int row, int dayMask);
    void fill();

    std::array<kavrel::ui::TextEdit*, 11> numbers_{};  // by phone number; 0 is the SMS centre
    kavrel::ui::TextEdit* pin_ = nullptr;
    kavrel::ui::NumberEdit* networkCode_ = nullptr;
    QLineEdit* reportHours_ = nullptr;
    QLineEdit* guardHours_ = nullptr;
    kavrel::ui::NumberEdit* reportPeriod_ = nullptr;
    kavrel::ui::NumberEdit* smsLimit_ = nullptr;
    kavrel::ui::NumberEdit* logPeriod_ = nullptr;
    kavrel::ui::TextEdit* balanceCode_ = nullptr;
    kavrel::ui::NumberEdit* balanceHour_ = nullptr;
    std::vector<BitBox> bits_;  // MCFG1 and MCFG2 options and the three day rows
};

} // namespace kavrel::config::ui
