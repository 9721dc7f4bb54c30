// "Ustawienia dostępu do Internetu": the GPRS access point, the SMTP account and sender, the
// five notified e-mail addresses and the periodic HTTP report to a web server. Edits APN0..6,
// EAD0..5, URL0, URL1, NUID, THTP and bits 2 and 3 of MCFG2.
#pragma once

#include <QCheckBox>
#include <array>

#include "common/qt/fields/field_edits.h"
#include "config/ui/kit/bit_boxes.h"
#include "config/ui/kit/settings_dialog.h"

namespace kavrel::config::ui {

class Custaw_internet : public SettingsDialog {
    Q_OBJECT
public:
    // One text field of the record and its edit, in the order of the dialog.
    struct TextRow {
        const char* label;
        Field field;
        int number;
        int group;  // index into the group titles
    };
    static const std::array<TextRow, 15> kTextRows;

    explicit Custaw_internet(const SettingsImage& record, QWidget* parent = nullptr);

protected:
    void writeBack() override;

private:
    kavrel::ui::TextEdit* textEdit(Field field, int number = 0) const;

    std::array<kavrel::ui::TextEdit*, kTextRows.size()> texts_{};
    kavrel::ui::NumberEdit* uid_ = nullptr;
    kavrel::ui::NumberEdit* period_ = nullptr;
    std::array<BitBox, 2> mcfg2Boxes_{};
};

} // namespace kavrel::config::ui
