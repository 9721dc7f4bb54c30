#include "config/ui/dialogs/variable_codes_dialog.h"

#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kavrel::config::ui {
namespace {

// One entry per line of the help; "\r\n" inside an entry continues it on the next row.
// x stands for a line number, L for the line that caused the alarm.
constexpr const char* kHelpLines[] = {
    "@NL - numer pobudzonej linii (1...8)",
    "@Ux - napięcie, temperatura lub wilgotność zmierzona na linii x (x=1...8)",
    "@UL - napięcie, temperatura lub wilgotność na pobudzonej linii",
    "",
    "@SL - stan pobudzonej linii (L/H/OK)",
    "@Sx - stan linii x (L/H/o=OK)",
    "@Px - stan linii x (ON/OFF; ON=stan H)",
    "@Qx - odwrócony stan linii x (ON/OFF; ON=stan L)",
    "@Vx - stan linii x (0/1; 1=stan H)",
    "@Bx - stan linii x (0/1; 1=stan L)",
    "@RL,@Rx - napięcie zmierzone na linii x, bez konwersji jednostek",
    "@DL,@Dx - napięcie zmierzone na linii x (skala x0.1), bez konw. jedn.",
    "@DLS,@DxS - napięcie na linii x (skala x0.01), bez konw. jedn.",
    "@TL,@Tx - czas w minutach od ostatniego pobudzenia linii",
    "@Ox - stan (ON/OFF) linii wyjściowej (x=1...6) ",
    "@Wx - stan (1/0) linii wyjściowej (x=1...6) ",
    "@S9, @P9, @Q9, @V9, @B9 - stan wejścia C1\r\n      (analogicznie jak stan linii Lx)",
    "",
    "@TIME - aktualny czas odczytany z zegara RTC",
    "@RTC - aktualny czas w skróconym formacie (bez sekund)",
    "@LEV - poziom sygnału GSM (RSSI: 0...31)",
    "@CNT - stan licznika wysłanych wiadomości SMS",
    "@LINS - stan wszystkich linii wejściowych (1234-5678)",
    "@OUTS - stan wszystkich linii wyjściowych (123-456)",
    "@VCC - napięcie zasilania modemu GSM [V]",
    "@VER - wersja oprogramowania Firmware",
    "",
    "@FLA - zajętość pamięci logu w %",
    "@REC - liczba rekordów zapisanych w logu",
    "@CNE - stan licznika wysłanych wiadomości e-mail",
    "@NRS - stan licznika restartów urządzenia",
    "@NRT - przyczyna ostatniego restartu urządzenia",
    "@NSE - stan licznika błędów wysyłania SMS",
    "@NEE - stan licznika błędów wysyłania e-mail",
    "",
    "@XS1...@XS16 - stan L/H linii XL1...XL16",
    "@XP1...@XP16 - stan OFF/ON linii XL1...XL16 (ON=stan H)",
    "@XQ1...@XQ16 - odwrócony stan linii XL1...XL16 (ON=stan L)",
    "@XU1...@XU16 - wynik pomiaru na linii XL1...XL16",
    "@XV1...@XV16 - stan 0/1 linii XL1...XL16 (1=stan H)",
    "@XB1...@XB16 - stan 0/1 linii XL1...XL16 (1=stan L)",
    "@XR1...@XR16 - surowy wynik pomiaru na XL1...XL16 (000...65535)",
    "@XD1...@XD16 - wynik pomiaru na XL1...XL16 (skala x0.1)",
    "",
    "@XUA - wynik pomiaru na kolejnych 8 liniach XL1...XL8",
    "@XUB - wynik pomiaru na kolejnych 8 liniach XL9...XL16",
    "@XVA - stan 0/1 (1=stan H) na kolejnych 8 liniach XL1...XL8",
    "@XVB - stan 0/1 (1=stan H) na kolejnych 8 liniach XL9...XL16",
    "@XBA - stan 0/1 (1=stan L) na kolejnych 8 liniach XL1...XL8",
    "@XBB - stan 0/1 (1=stan L) na kolejnych 8 liniach XL9...XL16",
    "@XSA - stan L/H na kolejnych 8 liniach XL1...XL8",
    "@XSB - stan L/H na kolejnych 8 liniach XL9...XL16",
    "@XPA - stan OFF/ON (ON=H) na kolejnych 8 liniach XL1...XL8",
    "@XPB - stan OFF/ON (ON=H) na kolejnych 8 liniach XL9...XL16",
    "@XQA - stan ON/OFF (ON=L) na kolejnych 8 liniach XL1...XL8",
    "@XQB - stan ON/OFF (ON=L) na kolejnych 8 liniach XL9...XL16",
    "",
    "@C1A, @C1B - stan licznika A/B (liczba 32-bitowa)",
    "@C1C - przyrost stanu liczników A+B w czasie ostatnich 10 minut",
    "@C1D = 6*C1C",
    "@C1E - przyrost stanu liczników A+B w czasie ostatnich 60 minut",
    "@C2, @C3  - stan licznika C2, C3 (liczba impulsów / s)",
    "@C2D,@C3D - stan licznika C2, C3 podzielony przez 10",
    "@C2S,@C3S - stan licznika C2, C3 podzielony przez 100",
    "",
    "@CNH - licznik meldunków HTTP wysłanych do serwera WWW",
    "@CNX - licznik komend sterujących odebranych z serwera WWW",
    "@NHE - liczba błędów w transmisji HTTP do serwera WWW",
    "@CNU - liczba niepotwierdzonych transmisji do serwera WWW",
    "@SKO - stan konta \"prepaid\" na karcie SIM",
    "@ZAL - stan (flaga) zazbrojenia alarmu (ON/OFF)",
    "@TRmn - Temperatura punktu rosy (m=czujnik T, n=czujnik RH)",
    "@SAL - Flaga stanu alarmowego (0=wył., 1=wł) ",
    "@SGC - Flaga aktywności godzin czuwania (0=wył., 1=wł)",
    "@DTY - Aktualny dzień tygodnia (2 znaki: Po,Wt,...,So,Ni)",
    "@SDW - Flaga dnia wolnego od pracy (0=nie, 1=TAK)",
    "",
    "Pomiary z licznika energii OR-WE-504:",
    "@XD9    - napięcie (xxx.x V)",
    "@XD10  - prąd  (xx.x A)",
    "@XD11  - częstotliwość (xx.x Hz)",
    "@XR12  - moc czynna   (xxxx W)",
    "@XR13  - moc pozorna  (xxxx W)",
    "@XU14  - współczynnik mocy  (x.xxx)",
    "@XR15  - zliczona ilość kWh (xxxxx)",
    "@XR16  - zliczona ilość Wh (000...999)",
    "",
    "| - podział tekstu na dwie/trzy wiadomości (HL | LH | Norm)\r\n      lub na dwa/trzy ekrany wyświetlacza LCD",
};

} // namespace

QString variableCodesText() {
    QString text;
    for (const char* line : kHelpLines) text += QString::fromUtf8(line) + QStringLiteral("\r\n");
    return text;
}

Ckody::Ckody(QWidget* parent) : QDialog(parent), text_(variableCodesText()), view_(new QPlainTextEdit) {
    setWindowTitle(QStringLiteral("Kody zmiennych w tekstach powiadomień SMS / e-mail"));
    view_->setReadOnly(true);
    view_->setLineWrapMode(QPlainTextEdit::NoWrap);
    view_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view_->setPlainText(QString(text_).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    // Wide enough for the longest line, tall enough for a good part of the list.
    const QFontMetrics metrics = view_->fontMetrics();
    view_->setMinimumSize(metrics.horizontalAdvance(QString(80, QLatin1Char('x'))), metrics.lineSpacing() * 30);

    auto* buttons = new QDialogButtonBox;
    QPushButton* close = buttons->addButton(QStringLiteral("Zamknij"), QDialogButtonBox::AcceptRole);
    close->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_);
    layout->addWidget(buttons);
}

} // namespace kavrel::config::ui
