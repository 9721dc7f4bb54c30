#include "monitor/ui/readings_panel.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>

#include "common/qt/color_scheme.h"
#include "common/qt/qt_text.h"

namespace kavrel::monitor::ui {
namespace {

constexpr int kGsmSignalMax = 31;
constexpr int kNameOverhangPx = 16;   // how far a line's name may reach beyond its value field

QLineEdit* readOnlyField(QWidget* parent, int characters, const char* name) {
    auto* field = new QLineEdit(parent);
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::ClickFocus);
    field->setObjectName(QString::fromLatin1(name));
    if (characters > 0)
        field->setFixedWidth(field->fontMetrics().horizontalAdvance(QString(characters, QLatin1Char('0'))) + 14);
    return field;
}

// A reading wider than its field shows its beginning; the whole text is in the tool tip.
void showReading(QLineEdit* field, const QString& text) {
    if (field->text() != text) field->setText(text);
    field->setCursorPosition(0);
    const int room = field->width() - 10;   // the frame and the text margins
    field->setToolTip(field->fontMetrics().horizontalAdvance(text) > room ? text : QString());
}

// A name wider than its room shows its beginning and "…"; the whole name is in the tool tip.
void showName(QLabel* label, const QString& name, int room) {
    const QString shown = label->fontMetrics().elidedText(name, Qt::ElideRight, room);
    label->setText(shown);
    label->setToolTip(shown == name ? QString() : name);
}

// A label that keeps its place in the layout while hidden, so that nothing moves when an
// alarm comes and goes.
QLabel* hiddenLabel(const QString& text, QWidget* parent, const char* name) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    QSizePolicy policy = label->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    label->setSizePolicy(policy);
    label->setVisible(false);
    return label;
}

QProgressBar* verticalBar(QWidget* parent, int height) {
    auto* bar = new QProgressBar(parent);
    bar->setOrientation(Qt::Vertical);
    bar->setTextVisible(false);
    bar->setFixedSize(22, height);
    return bar;
}

// A check box that shows a state and cannot be changed by a click: it is set back at once.
QCheckBox* indicator(const QString& text, QWidget* parent) {
    auto* box = new QCheckBox(text, parent);
    box->setFocusPolicy(Qt::NoFocus);   // nothing to do with it: Enter and Tab pass it by
    QObject::connect(box, &QCheckBox::clicked, box, [box](bool checked) { box->setChecked(!checked); });
    return box;
}

} // namespace

ReadingsPanel::ReadingsPanel(QWidget* parent) : parent_(parent) {
    columns_ = {buildInputLines(0), buildInputLines(4), buildOutputsAndGsm(), buildCounters()};
}

void ReadingsPanel::addColumns(QHBoxLayout& row) const {
    for (QWidget* column : columns_) row.addWidget(column, column == columns_.back() ? 1 : 0);
}

QWidget* ReadingsPanel::buildInputLines(int first) {
    auto* group = new QGroupBox(parent_);
    auto* grid = new QGridLayout(group);
    grid->setVerticalSpacing(4);
    for (int column = 0; column < 4; ++column) {
        const int i = first + column;
        LineWidgets& line = lines_[i];
        line.name = new QLabel(group);
        line.name->setObjectName(QStringLiteral("lineName%1").arg(i + 1));
        line.name->setAlignment(Qt::AlignCenter);
        line.bar = verticalBar(group, 130);
        line.bar->setObjectName(QStringLiteral("bar%1").arg(i + 1));
        line.value = readOnlyField(group, 7, "");
        line.value->setObjectName(QStringLiteral("value%1").arg(i + 1));
        line.value->setAlignment(Qt::AlignCenter);
        line.alarm = hiddenLabel(QStringLiteral("Alarm"), group, "");
        line.alarm->setObjectName(QStringLiteral("alarm%1").arg(i + 1));
        line.alarm->setAlignment(Qt::AlignCenter);
        line.alarm->setStyleSheet(QStringLiteral("color: %1; font-weight: bold").arg(alarmTextColor()));
        grid->addWidget(line.name, 0, column, Qt::AlignHCenter);
        grid->addWidget(line.bar, 1, column, Qt::AlignHCenter);
        grid->addWidget(line.value, 2, column, Qt::AlignHCenter);
        grid->addWidget(line.alarm, 3, column, Qt::AlignHCenter);
    }
    return group;
}

QWidget* ReadingsPanel::buildOutputsAndGsm() {
    auto* column = new QWidget(parent_);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* outputs = new QGroupBox(QStringLiteral("Stan wyjść"), column);
    auto* grid = new QGridLayout(outputs);
    for (int i = 0; i < kOutputLines; ++i) {
        outputs_[i] = indicator(QStringLiteral("O%1").arg(i + 1), outputs);
        outputs_[i]->setObjectName(QStringLiteral("output%1").arg(i + 1));
        grid->addWidget(outputs_[i], i % 3, i / 3);
    }
    layout->addWidget(outputs);

    auto* gsm = new QGroupBox(QStringLiteral("Sygnał sieci"), column);
    auto* gsmLayout = new QGridLayout(gsm);
    gsmBar_ = verticalBar(gsm, 80);
    gsmBar_->setObjectName(QStringLiteral("gsmBar"));
    gsmBar_->setRange(0, kGsmSignalMax);
    gsmNumber_ = readOnlyField(gsm, 3, "gsmNumber");
    noNetwork_ = hiddenLabel(QStringLiteral("Brak sieci GSM"), gsm, "noNetwork");
    noNetwork_->setStyleSheet(QStringLiteral("color: %1").arg(alarmTextColor()));
    gsmLayout->addWidget(gsmBar_, 0, 0, 2, 1);
    gsmLayout->addWidget(gsmNumber_, 0, 1, Qt::AlignBottom);
    gsmLayout->addWidget(noNetwork_, 1, 1, Qt::AlignTop);
    layout->addWidget(gsm);
    layout->addStretch();
    return column;
}

QWidget* ReadingsPanel::buildCounters() {
    auto* column = new QWidget(parent_);
    auto* grid = new QGridLayout(column);
    grid->setContentsMargins(0, 0, 0, 0);
    portField_ = readOnlyField(column, 6, "portField");
    smsField_ = readOnlyField(column, 6, "smsField");
    emailField_ = readOnlyField(column, 6, "emailField");
    rowField_ = readOnlyField(column, 5, "rowField");
    answeredField_ = readOnlyField(column, 5, "answeredField");
    periodField_ = readOnlyField(column, 5, "periodField");
    fileField_ = readOnlyField(column, 0, "fileField");
    fileField_->setMinimumWidth(170);

    const std::pair<const char*, QLineEdit*> rows[] = {
        {"Nr portu", portField_}, {"Licznik SMS", smsField_}, {"Licznik e-mail", emailField_}};
    int row = 0;
    for (const auto& [caption, field] : rows) {
        grid->addWidget(new QLabel(QString::fromUtf8(caption), column), row, 0);
        grid->addWidget(field, row++, 1, 1, 3, Qt::AlignLeft);
    }
    grid->addWidget(new QLabel(QStringLiteral("Liczba pomiarów"), column), row, 0);
    auto* counts = new QHBoxLayout;
    counts->addWidget(rowField_);
    counts->addWidget(new QLabel(QStringLiteral("/"), column));
    counts->addWidget(answeredField_);
    counts->addStretch();
    grid->addLayout(counts, row++, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Okres zapisu"), column), row, 0);
    auto* period = new QHBoxLayout;
    period->addWidget(periodField_);
    period->addWidget(new QLabel(QStringLiteral("minut"), column));
    period->addStretch();
    grid->addLayout(period, row++, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Nazwa pliku"), column), row, 0);
    grid->addWidget(fileField_, row++, 1, 1, 3);

    alarmState_ = hiddenLabel(QStringLiteral(" Stan alarmowy"), column, "alarmState");
    alarmState_->setStyleSheet(QStringLiteral("color: white; background: #c00000; font-weight: bold; padding: 2px"));
    status_ = hiddenLabel(QStringLiteral("Brak połączenia z Kavrel"), column, "status");
    grid->addWidget(alarmState_, row++, 0, 1, 4, Qt::AlignLeft);
    grid->addWidget(status_, row++, 0, 1, 4);
    grid->setRowStretch(row, 1);
    return column;
}

void ReadingsPanel::show(const MonitorDisplay& display) {
    for (int i = 0; i < kInputLines; ++i) {
        const InputLineDisplay& shown = display.lines[i];
        LineWidgets& line = lines_[i];
        showName(line.name, toQString(shown.name), line.value->width() + kNameOverhangPx);
        line.bar->setRange(shown.barRange.minimum, shown.barRange.maximum);
        // A reading outside the range shows an empty or a full bar.
        line.bar->setValue(std::clamp(shown.barPosition, line.bar->minimum(), line.bar->maximum()));
        showReading(line.value, toQString(shown.value));
        line.alarm->setText(toQString(shown.alarmText));
        line.alarm->setVisible(shown.alarmShown);
    }
    for (int i = 0; i < kOutputLines; ++i) outputs_[i]->setChecked(display.outputs[i]);
    alarmState_->setVisible(display.alarmStateShown);
    gsmBar_->setValue(display.gsmBar);
    gsmNumber_->setText(QString::number(display.gsmNumber));
    noNetwork_->setVisible(display.noNetworkShown);
    portField_->setText(toQString(display.portField));
    smsField_->setText(QString::number(display.smsCount));
    emailField_->setText(QString::number(display.emailCount));
    rowField_->setText(QString::number(display.rowNumber));
    answeredField_->setText(QString::number(display.answeredPolls));
    periodField_->setText(QString::number(display.periodField));
    fileField_->setText(toQString(display.fileNameField));
    status_->setText(toQString(display.statusText));
    status_->setVisible(display.statusShown);
}

ExtendedReadingsPanel::ExtendedReadingsPanel(QWidget* parent)
    : QGroupBox(QStringLiteral("Linie rozszerzone XL1...XL16"), parent) {
    QGroupBox* group = this;
    auto* grid = new QGridLayout(group);
    grid->setHorizontalSpacing(6);
    constexpr int kPerRow = 4, kColumnsEach = 4;
    for (int i = 0; i < kExtendedLines; ++i) {
        const int row = i / kPerRow, at = (i % kPerRow) * kColumnsEach;
        ExtendedWidgets& line = extended_[i];
        line.name = new QLabel(group);
        line.name->setObjectName(QStringLiteral("extName%1").arg(i + 1));
        line.name->setMinimumWidth(line.name->fontMetrics().horizontalAdvance(QStringLiteral("Linia XL16")) + 4);
        line.high = indicator(QStringLiteral("H"), group);
        line.high->setObjectName(QStringLiteral("extHigh%1").arg(i + 1));
        line.low = indicator(QStringLiteral("L"), group);
        line.low->setObjectName(QStringLiteral("extLow%1").arg(i + 1));
        line.value = readOnlyField(group, 7, "");
        line.value->setObjectName(QStringLiteral("extValue%1").arg(i + 1));
        grid->addWidget(line.name, row, at);
        grid->addWidget(line.high, row, at + 1);
        grid->addWidget(line.low, row, at + 2);
        grid->addWidget(line.value, row, at + 3);
        if (i % kPerRow != kPerRow - 1) grid->setColumnMinimumWidth(at + 3, line.value->width() + 12);
        grid->setColumnStretch(at, 1);   // spare room goes beside the names, not between H and L
    }
}

void ExtendedReadingsPanel::show(const MonitorDisplay& display) {
    for (int i = 0; i < kExtendedLines; ++i) {
        const ExtendedLineDisplay& shown = display.extended[i];
        showName(extended_[i].name, toQString(shown.name), extended_[i].name->minimumWidth() + kNameOverhangPx);
        extended_[i].high->setChecked(shown.high);
        extended_[i].low->setChecked(shown.low);
        showReading(extended_[i].value, toQString(shown.value));
    }
}

} // namespace kavrel::monitor::ui
