#include "config/ui/settings_buttons.h"

#include "config/ui/dialogs/ccsd.h"
#include "config/ui/dialogs/email_dialog.h"
#include "config/ui/dialogs/extended_lines_dialog.h"
#include "config/ui/dialogs/general_settings_dialog.h"
#include "config/ui/dialogs/input_lines_dialog.h"
#include "config/ui/dialogs/internet_dialog.h"
#include "config/ui/dialogs/notification_texts_dialog.h"
#include "config/ui/dialogs/number_permissions_dialog.h"
#include "config/ui/dialogs/output_lines_dialog.h"
#include "config/ui/dialogs/scaling_dialog.h"

namespace kavrel::config::ui {
namespace {

template <typename Dialog>
QWidget* make(const SettingsImage& record) {
    return new Dialog(record);
}

const SettingsButton kSettingsButtons[] = {
    {.caption = "Ustawienia ogólne", .picture = "ustawienia-ogolne", .make = make<Custaw_ogolne>},
    {.caption = "Uprawnienia numerów", .picture = "uprawnienia-numerow", .make = make<Cuprawnienia>},
    {.caption = "Linie wejściowe L1...L8", .picture = "linie-wejsciowe", .make = make<Clinie_wejsciowe>},
    {.caption = "Teksty powiadomień", .picture = "teksty-powiadomien", .make = make<Cteksty>},
    {.caption = "Linie wyjściowe O1...O6", .picture = "linie-wyjsciowe", .make = make<Clinie_wyjsciowe>},
    {.caption = "Skalowanie (S)", .picture = "skalowanie", .make = make<Cskalowanie>},
    {.caption = "CSD", .picture = "port-csd", .make = make<Ccsd>, .enabled = false},
    {.caption = "Dostęp do Internetu", .picture = "dostep-do-internetu", .make = make<Custaw_internet>},
    {.caption = "Wysyłanie e-mail", .picture = "wysylanie-email", .make = make<Custaw_emaili>},
    {.caption = "Linie rozszerzone (XL)", .picture = "linie-rozszerzone", .make = make<Cextlines>},
};

} // namespace

std::span<const SettingsButton> settingsButtons() { return kSettingsButtons; }

} // namespace kavrel::config::ui
