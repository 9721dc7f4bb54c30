#include "config/model/field_captions.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace kavrel::config {
namespace {

// Windows of the configurator, named as their buttons in the main window.
constexpr const char* kGeneral = "Ustawienia ogólne";
constexpr const char* kPermissions = "Uprawnienia numerów";
constexpr const char* kInputs = "Linie wejściowe L1...L8";
constexpr const char* kTexts = "Teksty powiadomień";
constexpr const char* kOutputs = "Linie wyjściowe O1...O6";
constexpr const char* kScaling = "Skalowanie (S)";
constexpr const char* kCsd = "CSD";
constexpr const char* kInternet = "Dostęp do Internetu";
constexpr const char* kEmail = "Wysyłanie e-mail";
constexpr const char* kExtended = "Linie rozszerzone (XL)";
constexpr const char* kNone = "";

struct Caption {
    const char* window;
    const char* text;  // "%d" takes the element's number
};

// One row per field, in the order of enum Field (the last is COPS).
constexpr std::array<Caption, 60> kCaptions = {{
    {kGeneral, "PIN"},                                            // PIN
    {kGeneral, "Numer %d"},                                       // NUM0..NUM5 (NUM0 below)
    {kGeneral, "Raport okresowy wysyłany co (minut)"},            // TRPT
    {kInputs, "Linia L%d, próg dolny"},                           // ULO
    {kInputs, "Linia L%d, próg górny"},                           // UHI
    {kInputs, "Linia L%d, HL, LH, SMS na numery 1...5, czujnik"}, // ICFG
    {kOutputs, "Wyjście O%d"},                                    // OCFG
    {kInputs, "Linia L%d, typ czujnika, R, N, C, F"},             // SCFGn
    {kCsd, "Port szeregowy (interfejs, prędkość, znak, parzystość, bity STOP)"},  // SCFG
    {kTexts, "Treść SMS%d"},                                      // SMS
    {kInputs, "Próg nieczułości L1...L4 (mV)"},                   // HIST1
    {kInputs, "Próg nieczułości L5...L8 (mV)"},                   // HIST2
    {kPermissions, "Raport okresowy wysyłany na numery 1...5"},   // RCFG(1)
    {kPermissions, "Raport na żądanie (CLIP) z numerów 1...5, DOWOLNY"},  // CLIP(1)
    {kPermissions, "Sterowanie SMS z numerów 1...5, DOWOLNY"},    // CTRL(1)
    {kPermissions, "Połączenie CSD z numerów 1...5, DOWOLNY"},    // CSDC
    {kGeneral, "Opcje raportów, limitu SMS, LCD i godzin czuwania"},  // MCFG1
    {kGeneral, "Raport o godzinach"},                             // RPTHR
    {kInputs, "Warunek stanu alarmowego"},               // ALMD (value 1 L, value 2 H)
    {kGeneral, "Ograniczenie liczby wysł. SMS, max. SMS na dobę"},  // SLIM
    {kGeneral, "Okres logowania pomiarów (minut)"},               // LOGT
    {kGeneral, "Godziny czuwania"},                               // GRDHR
    {kEmail, "Powiadomienia e-mail, Linia L%d"},                  // SEML
    {kInternet, "APN%d"},                                         // APN (captions below)
    {kNone, "Bajty zarezerwowane"},                               // reserved 2014
    {kInternet, "EAD%d"},                                         // EAD (captions below)
    {kEmail, "Przesyłanie logu, godzina i co ile dni"},           // SLOG
    {kEmail, "Przesyłanie logu na adresy e-mail i opcje"},        // SLGT
    {kEmail, "Powiadomienia e-mail, Raport"},                     // RCFG(2)
    {kInputs, "Linia L%d, czas opóźnienia alarmu"},               // ADEL
    {kGeneral, "Opcje C1, logowania, Internetu, wyjść i linii XL"},  // MCFG2
    {kExtended, "Linia XL%d, SMS na numery, e-mail, opcje"},      // XCFG (XCFG17 below)
    {kExtended, "Linia XL%d, treść powiadomienia"},               // XMS (XMS17 below)
    {kExtended, "Wysyłanie e-mail na adresy"},                    // SXML
    {kGeneral, "Numer %d"},                                       // NUM6..NUM10
    {kOutputs, "Stan alarmowy na O6, czas sygnalizacji alarmu (sek.)"},  // ATIM
    {kInputs, "Linia L%d, SMS na numery 6...10"},                 // ECFG
    {kNone, "Bajt zarezerwowany"},                                // reserved 3229
    {kScaling, "Linia L%d, A"},                                   // SCLA
    {kScaling, "Linia L%d, B"},                                   // SCLB
    {kNone, "Bajty zarezerwowane"},                               // reserved 3262
    {kGeneral, "Dni tygodnia"},                                   // WKD (below)
    {kGeneral, "Kod sprawdzania stanu konta, znak %d"},           // URL2E (7th, 8th)
    {kInternet, "UID"},                                           // NUID
    {kInternet, "Okres transmisji (x 5 min.)"},                   // THTP
    {kInternet, "Adres serwera"},                                 // URL0
    {kInternet, "Meldunek"},                                      // URL1
    {kGeneral, "Kod sprawdzania stanu konta"},                    // URL2
    {kGeneral, "Sprawdzanie o godzinie"},                         // TGAC
    {kPermissions, "Raport okresowy wysyłany na numery 6...10"},  // RCFG(3)
    {kPermissions, "Raport na żądanie (CLIP) z numerów 6...10"},  // CLIP(2)
    {kPermissions, "Sterowanie SMS z numerów 6...10"},            // CTRL(2)
    {kNone, "Bajt zarezerwowany"},                                // reserved 3595
    {kExtended, "XL1...XL8, próg dolny (HL)"},                    // XLO1
    {kExtended, "XL1...XL8, próg górny (LH)"},                    // XHI1
    {kExtended, "XL9...XL16, próg dolny (HL)"},                   // XLO9
    {kExtended, "XL9...XL16, próg górny (LH)"},                   // XHI9
    {kExtended, "Typ czujnika XL1...XL8"},                        // XTYP1
    {kExtended, "Typ czujnika XL9...XL16"},                       // XTYP9
    {kGeneral, "Kod sieci (0=autom.)"},                           // COPS
}};

static_assert(kCaptions.size() == static_cast<std::size_t>(Field::Cops) + 1, "one caption per field");

constexpr const char* kApnCaptions[] = {"Nazwa APN",       "Użytkownik APN", "Hasło APN",    "Nazwa serwera",
                                        "Użytkownik SMTP", "Hasło SMTP",     "Nazwa nadawcy"};
constexpr const char* kWeekdayCaptions[] = {"", "raportu o godzinach", "godzin czuwania", "raportu okresowego"};

std::string withNumber(const char* text, int number) {
    char out[160];
    std::snprintf(out, sizeof out, "%s", text);
    if (const char* at = std::strstr(text, "%d")) {
        std::snprintf(out, sizeof out, "%.*s%d%s", static_cast<int>(at - text), text, number, at + 2);
    }
    return out;
}

std::string captionText(const FieldInfo& info, int number) {
    const Caption& caption = kCaptions[static_cast<std::size_t>(info.id)];
    switch (info.id) {
    case Field::Num: return number == 0 ? "SMSC" : withNumber(caption.text, number);
    case Field::Almd: return number == 1 ? "Warunek stanu alarmowego, Stan L (niski)" : "Warunek stanu alarmowego, Stan H (wysoki)";
    case Field::Apn: return kApnCaptions[number];
    case Field::Ead: return number == 0 ? "Adres nadawcy" : "E-mail " + std::to_string(number);
    case Field::Xcfg: return number == 17 ? "Kontrola komunikacji, SMS na numery, opcje" : withNumber(caption.text, number);
    case Field::Xms: return number == 17 ? "Kontrola komunikacji, treść powiadomienia" : withNumber(caption.text, number);
    case Field::Wkd: return std::string("Dni tygodnia ") + kWeekdayCaptions[number];
    case Field::Url2Ext: return withNumber(caption.text, number + 7);
    default: return withNumber(caption.text, number);
    }
}

} // namespace

std::string fieldCaption(const FieldInfo& info, int number) {
    const std::string text = captionText(info, number);
    const char* window = kCaptions[static_cast<std::size_t>(info.id)].window;
    return *window ? std::string(window) + ": " + text : text;
}

} // namespace kavrel::config
