#include "config/ui/dialogs/input_lines_dialog.h"

#include <QGridLayout>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <bit>

#include "common/qt/qt_text.h"
#include "config/ui/kit/field_names.h"

namespace kavrel::config::ui {
namespace {

// Columns of the line grid.
constexpr int kSensorColumn = 1;  // first of the seven sensor-type columns
constexpr int kLowerColumn = 8;   // "HL" and the lower threshold
constexpr int kUpperColumn = 10;  // "LH" and the upper threshold
constexpr int kNumberColumn = 13; // "1" .. "10", framed with a margin column on each side
constexpr int kOptionColumn = 25; // "R", "N", "C", "F"
constexpr int kDelayColumn = 30;

constexpr std::uint8_t kAllLines = 0xFF;
constexpr std::uint8_t kOddLines = 0x55;   // L1, L3, L5, L7
constexpr std::uint8_t kEvenLines = 0xAA;  // L2, L4, L6, L8
constexpr std::uint8_t kLinesL1toL6 = 0x3F;


// The per-line check boxes that stand for one bit each, with their column.
struct LineOption {
    const char* caption;
    Field field;
    int bit;
    int column;
};

constexpr std::array<LineOption, 16> kLineOptions = {{
    {"HL", Field::Icfg, 0, kLowerColumn},
    {"LH", Field::Icfg, 1, kUpperColumn},
    {"1", Field::Icfg, 2, kNumberColumn + 0},
    {"2", Field::Icfg, 3, kNumberColumn + 1},
    {"3", Field::Icfg, 4, kNumberColumn + 2},
    {"4", Field::Icfg, 5, kNumberColumn + 3},
    {"5", Field::Icfg, 6, kNumberColumn + 4},
    {"6", Field::Ecfg, 0, kNumberColumn + 5},
    {"7", Field::Ecfg, 1, kNumberColumn + 6},
    {"8", Field::Ecfg, 2, kNumberColumn + 7},
    {"9", Field::Ecfg, 3, kNumberColumn + 8},
    {"10", Field::Ecfg, 4, kNumberColumn + 9},
    {"R", Field::Scfgn, 4, kOptionColumn + 0},
    {"N", Field::Scfgn, 3, kOptionColumn + 1},
    {"C", Field::Scfgn, 5, kOptionColumn + 2},
    {"F", Field::Scfgn, 6, kOptionColumn + 3},
}};

const char* const kSensorLegend =
    "T – analogowy czujnik temperatury\n"
    "D – cyfrowy czujnik temperatury\n"
    "RH – czujnik wilgotności\n"
    "S – wynik skalowany y=Ax+B\n"
    "TR, RR – temperatura i wilgotność z cyfrowego\n"
    "            czujnika temperatury i wilgotności\n"
    "PT – czujnik temperatury PT-100 z przetwornikiem";

const char* const kOptionLegend =
    "R – dzwonienie przed wysłaniem SMS\n"
    "N – powiadomienie o powrocie do stanu normalnego\n"
    "C – powiadomienie tylko w godzinach czuwania\n"
    "F – powiadomienie nie częściej niż raz w ustalonym czasie";

bool offersType(const Clinie_wejsciowe::SensorType& type, int line) { return (type.lines >> (line - 1)) & 1; }

QLabel* heading(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    return label;
}

} // namespace

const std::array<Clinie_wejsciowe::SensorType, 7> Clinie_wejsciowe::kSensorTypes = {{
    {"T", kAnalogTemperatureSensor, true, kAllLines},
    {"D", kDigitalTemperatureSensor, true, kAllLines},
    {"RH", kHumiditySensor, true, kAllLines},
    {"S", kScaledValue, false, kAllLines},
    {"TR", kCombinedTemperature, true, kOddLines},
    {"RR", kCombinedHumidity, true, kEvenLines},
    {"PT", kPt100Sensor, true, kLinesL1toL6},
}};

Clinie_wejsciowe::Clinie_wejsciowe(const SettingsImage& record, QWidget* parent)
    : SettingsDialog(record, QStringLiteral("Konfiguracja linii wejściowych"), parent) {
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);
    buildLineRows(grid);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buildBottom());
    layout->addWidget(makeButtons());
    nameBitBoxes(bitBoxes_);
    fill();
}

void Clinie_wejsciowe::buildLineRows(QGridLayout* grid) {
    // The recipients' frame lies behind their boxes, from the heading row to the last line.
    auto* recipients = new QGroupBox(QStringLiteral("SMS wysyłany na numery: 1...10"), this);
    grid->addWidget(recipients, 0, kNumberColumn - 1, kLines + 2, 12);
    grid->addWidget(heading(QStringLiteral("Próg dolny\nmV, °C, %"), this), 0, kLowerColumn, 1, 2);
    grid->addWidget(heading(QStringLiteral("Próg górny\nmV, °C, %"), this), 0, kUpperColumn, 1, 2);
    grid->addWidget(heading(QStringLiteral("Czas opóźnienia\nalarmu (min./sek.)"), this), 0, kDelayColumn);
    for (int margin : {kNumberColumn - 1, kNumberColumn + 10, kOptionColumn - 1, kDelayColumn - 1})
        grid->setColumnMinimumWidth(margin, 6);

    for (int line = 1; line <= kLines; ++line) {
        LineRow& row = rows_[static_cast<std::size_t>(line - 1)];
        const int r = line;
        grid->addWidget(new QLabel(QStringLiteral("Linia L%1").arg(line), this), r, 0);

        row.sensors = new QButtonGroup(this);
        row.sensors->setExclusive(false);
        nameAfterBits(row.sensors, Field::Scfgn, line, 0, std::countr_one(kSensorTypeMask) - 1);
        for (std::size_t t = 0; t < kSensorTypes.size(); ++t) {
            if (!offersType(kSensorTypes[t], line)) continue;
            auto* box = new QCheckBox(QString::fromLatin1(kSensorTypes[t].caption), this);
            row.sensors->addButton(box, static_cast<int>(t));
            grid->addWidget(box, r, kSensorColumn + static_cast<int>(t));
        }
        connect(row.sensors, &QButtonGroup::idToggled, this,
                [this, line](int type, bool checked) { sensorToggled(line, type, checked); });

        for (const LineOption& option : kLineOptions) {
            auto* box = new QCheckBox(QString::fromLatin1(option.caption), this);
            grid->addWidget(box, r, option.column);
            bitBoxes_.push_back({box, option.field, line, option.bit});
            // Each threshold follows its direction box, in the grid and in the keyboard order.
            if (option.column == kLowerColumn || option.column == kUpperColumn) {
                const bool lower = option.column == kLowerColumn;
                auto* edit = new ThresholdEdit(this);
                nameAfterField(edit, lower ? Field::Ulo : Field::Uhi, line);
                grid->addWidget(edit, r, option.column + 1);
                (lower ? row.lower : row.upper) = edit;
            }
        }
        row.delay = new QLineEdit(this);
        nameAfterField(row.delay, Field::Adel, line);
        row.delay->setAlignment(Qt::AlignRight);
        row.delay->setMaxLength(8);
        row.delay->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000m")) + 16);
        grid->addWidget(row.delay, r, kDelayColumn, Qt::AlignHCenter);
    }
    // Room under the recipients' frame for its bottom edge.
    grid->setRowMinimumHeight(kLines + 1, 6);
}

QWidget* Clinie_wejsciowe::buildBottom() {
    auto* bottom = new QWidget(this);
    auto* layout = new QHBoxLayout(bottom);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* sensorLegend = new QLabel(QString::fromUtf8(kSensorLegend), bottom);
    sensorLegend->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(sensorLegend);
    layout->addStretch();

    auto* deadBandForm = new QGridLayout;
    for (int which = 1; which <= 2; ++which) {
        const int first = which == 1 ? 1 : 5;
        deadBandForm->addWidget(
            new QLabel(QStringLiteral("Próg nieczułości L%1...L%2").arg(first).arg(first + 3), bottom), which - 1, 0);
        auto* edit = new kavrel::ui::NumberEdit(0, 255, bottom);
        nameAfterField(edit, which == 1 ? Field::Hist1 : Field::Hist2);
        addChecked(edit);
        deadBands_[static_cast<std::size_t>(which - 1)] = edit;
        deadBandForm->addWidget(edit, which - 1, 1);
        deadBandForm->addWidget(new QLabel(QStringLiteral("mV"), bottom), which - 1, 2);
    }
    deadBandForm->setRowStretch(2, 1);
    layout->addLayout(deadBandForm);
    layout->addSpacing(12);

    auto* alarmGroup = new QGroupBox(QStringLiteral("Warunek stanu alarmowego"), bottom);
    auto* alarmGrid = new QGridLayout(alarmGroup);
    alarmGrid->setVerticalSpacing(2);
    // ALMD value 2 holds the high states, value 1 the low ones.
    const std::array<std::pair<const char*, int>, 2> states = {{{"Stan H (wysoki)", 2}, {"Stan L (niski)", 1}}};
    for (int line = 1; line <= kLines; ++line)
        alarmGrid->addWidget(heading(QStringLiteral("L%1").arg(line), alarmGroup), 0, line);
    for (std::size_t s = 0; s < states.size(); ++s) {
        const int r = static_cast<int>(s) + 1;
        alarmGrid->addWidget(new QLabel(QString::fromUtf8(states[s].first), alarmGroup), r, 0);
        for (int line = 1; line <= kLines; ++line) {
            auto* box = new QCheckBox(alarmGroup);
            alarmGrid->addWidget(box, r, line, Qt::AlignHCenter);
            bitBoxes_.push_back({box, Field::Almd, states[s].second, line - 1});
        }
    }
    layout->addWidget(alarmGroup);
    layout->addStretch();

    auto* optionLegend = new QLabel(QString::fromUtf8(kOptionLegend), bottom);
    optionLegend->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(optionLegend);
    return bottom;
}

void Clinie_wejsciowe::fill() {
    for (int line = 1; line <= kLines; ++line) {
        LineRow& row = rows_[static_cast<std::size_t>(line - 1)];
        const std::uint8_t icfg = record_.byte(Field::Icfg, line);
        const std::uint8_t type = record_.byte(Field::Scfgn, line) & kSensorTypeMask;
        row.category = lineCategory(record_, line);
        {
            const QSignalBlocker blocker(row.sensors);
            for (QAbstractButton* button : row.sensors->buttons()) {
                const SensorType& sensor = kSensorTypes[static_cast<std::size_t>(row.sensors->id(button))];
                // S stands for type code 3 whatever bit 7 says; the others need bit 7.
                const bool ticked = sensor.typeCode == type && (sensor.typeCode == kScaledValue || (icfg & kLineSensorBit));
                button->setChecked(ticked);
            }
        }
        row.lower->showRaw(record_.word(Field::Ulo, line), row.category);
        row.upper->showRaw(record_.word(Field::Uhi, line), row.category);
        row.delay->setText(toQString(delayToText(record_.byte(Field::Adel, line))));
    }
    fillBitBoxes(bitBoxes_, record_);
    deadBands_[0]->setNumber(record_.byte(Field::Hist1));
    deadBands_[1]->setNumber(record_.byte(Field::Hist2));
}

void Clinie_wejsciowe::sensorToggled(int line, int type, bool checked) {
    LineRow& row = rows_[static_cast<std::size_t>(line - 1)];
    const std::uint16_t lower = row.lower->raw(row.category);
    const std::uint16_t upper = row.upper->raw(row.category);
    if (checked) {
        const QSignalBlocker blocker(row.sensors);
        for (QAbstractButton* button : row.sensors->buttons())
            if (row.sensors->id(button) != type) button->setChecked(false);
    }
    row.category = checked ? kSensorTypes[static_cast<std::size_t>(type)].category() : LineCategory::Voltage;
    row.lower->showRaw(lower, row.category);
    row.upper->showRaw(upper, row.category);
}

void Clinie_wejsciowe::writeBack() {
    record_.setByte(Field::Hist1, static_cast<std::uint8_t>(*deadBands_[0]->number()));
    record_.setByte(Field::Hist2, static_cast<std::uint8_t>(*deadBands_[1]->number()));
    for (int n = 1; n <= 2; ++n) record_.setByte(Field::Almd, n, 0);
    for (int line = 1; line <= kLines; ++line) {
        const LineRow& row = rows_[static_cast<std::size_t>(line - 1)];
        std::uint8_t icfg = 0;
        std::uint8_t scfg = 0;
        // A non-exclusive group keeps no reliable checkedId(); at most one box is ticked.
        for (QAbstractButton* button : row.sensors->buttons()) {
            if (!button->isChecked()) continue;
            const SensorType& sensor = kSensorTypes[static_cast<std::size_t>(row.sensors->id(button))];
            scfg = sensor.typeCode;
            if (sensor.sensorBit) icfg = kLineSensorBit;
        }
        record_.setByte(Field::Icfg, line, icfg);
        record_.setByte(Field::Scfgn, line, scfg);
        record_.setByte(Field::Ecfg, line, 0);
        record_.setWord(Field::Ulo, line, row.lower->raw(row.category));
        record_.setWord(Field::Uhi, line, row.upper->raw(row.category));
        record_.setByte(Field::Adel, line, textToDelay(fromQString(row.delay->text())));
    }
    collectBitBoxes(bitBoxes_, record_);
}

} // namespace kavrel::config::ui
