#include "monitor/ui/trend_chart.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/qt/chart/chart_widget.h"
#include "common/win1250.h"

namespace kavrel::monitor::ui {
namespace {

struct TypeText {
    const char* unit;
    const char* axisTitle;
};

// By LineType: Voltage, Temperature, Humidity.
constexpr TypeText kTypeTexts[] = {{"V", "U [V]"}, {"°C", "T [°C]"}, {"%", "RH [%]"}};

const TypeText& typeText(LineType type) {
    const auto index = static_cast<std::size_t>(type);
    return kTypeTexts[index < std::size(kTypeTexts) ? index : 0];
}

// Milliseconds since 1970 as this computer's wall clock shows them.
class WallClock {
public:
    kavrel::ui::WallMs operator()(std::int64_t msecs) {
        // The zone's offset changes twice a year at most: ask only when the hour changes.
        if (msecs / kavrel::ui::kHourMs != hour_) {
            hour_ = msecs / kavrel::ui::kHourMs;
            offset_ = QDateTime::fromMSecsSinceEpoch(msecs).offsetFromUtc() * std::int64_t{1000};
        }
        return msecs + offset_;
    }

private:
    std::int64_t hour_ = -1;
    std::int64_t offset_ = 0;
};

} // namespace

kavrel::ui::ChartData trendChartData(const TrendBuffer& buffer, const std::array<std::string, kInputLines>& names,
                                     const std::array<LineType, kInputLines>& types,
                                     const std::array<bool, kInputLines>& shown) {
    kavrel::ui::ChartData data;
    data.timeTitle = "Czas";
    data.minimumSpan = kavrel::ui::kMinuteMs;
    for (const TypeText& type : kTypeTexts) data.axisTitles[type.unit] = type.axisTitle;
    WallClock wall;
    std::vector<kavrel::ui::WallMs> times(buffer.size());
    for (std::size_t n = 0; n < buffer.size(); ++n) times[n] = wall(buffer.at(n).msecsSinceEpoch);
    for (int i = 0; i < kInputLines; ++i) {
        const auto line = static_cast<std::size_t>(i);
        kavrel::ui::ChartSeries series;
        series.name = names[line];
        // A reading that carries its unit draws under that unit, whatever the settings say
        // (a line set as volts that measures a temperature).
        LineType type = types[line];
        for (std::size_t n = buffer.size(); n-- > 0;)
            if (const auto carried = buffer.at(n).unit[line]) {
                type = *carried;
                break;
            }
        series.unit = typeText(type).unit;
        series.shown = shown[line];
        series.times = times;
        series.values.resize(buffer.size());
        series.marks.resize(buffer.size());
        for (std::size_t n = 0; n < buffer.size(); ++n) {
            const TrendSample& sample = buffer.at(n);
            series.values[n] = sample.value[line] ? *sample.value[line] : kavrel::ui::kNoValue;
            if ((sample.highMask >> i) & 1) series.marks[n] = kavrel::ui::SampleMark::High;
            else if ((sample.lowMask >> i) & 1) series.marks[n] = kavrel::ui::SampleMark::Low;
        }
        data.series.push_back(std::move(series));
    }
    return data;
}

TrendChart::TrendChart(QWidget* parent, std::size_t capacity)
    : QWidget(parent), buffer_(capacity), chart_(new kavrel::ui::ChartWidget(this)) {
    chart_->setMinimumHeight(230);
    auto* boxes = new QHBoxLayout;
    for (int i = 0; i < kInputLines; ++i) {
        auto*& box = boxes_[static_cast<std::size_t>(i)];
        box = new QCheckBox(QStringLiteral("L%1").arg(i + 1), this);
        box->setObjectName(QStringLiteral("trendLine%1").arg(i + 1));
        box->setChecked(true);
        connect(box, &QCheckBox::toggled, this,
                [this, i](bool shown) { chart_->setSeriesShown(static_cast<std::size_t>(i), shown); });
        boxes->addWidget(box);
    }
    boxes->addStretch();
    auto* save = new QPushButton(QStringLiteral("Zapisz wykres..."), this);
    connect(save, &QPushButton::clicked, this, &TrendChart::chooseAndSave);
    boxes->addWidget(save);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(chart_, 1);
    layout->addLayout(boxes);
    setLines(MonitorSettings{});
}

void TrendChart::setLines(const MonitorSettings& settings) {
    for (int i = 0; i < kInputLines; ++i) {
        const auto line = static_cast<std::size_t>(i);
        std::string name = cp1250::toUtf8(settings.lineName[line]);
        if (name.empty()) name = "L" + std::to_string(i + 1);
        boxes_[line]->setText(QString::fromStdString(name));
        names_[line] = std::move(name);
        types_[line] = settings.typeOf(i);
    }
    redraw();
}

void TrendChart::addSample(const TrendSample& sample) {
    buffer_.push(sample);
    redraw();
}

void TrendChart::clear() {
    buffer_.clear();
    redraw();
}

void TrendChart::redraw() {
    std::array<bool, kInputLines> shown{};
    for (std::size_t i = 0; i < shown.size(); ++i) shown[i] = boxes_[i]->isChecked();
    chart_->setData(trendChartData(buffer_, names_, types_, shown), true);
}

bool TrendChart::savePicture(const QString& path) {
    return path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive) ? chart_->savePdf(path) : chart_->savePng(path);
}

void TrendChart::chooseAndSave() {
    QFileDialog dialog(this, QStringLiteral("Zapisz wykres"), QStringLiteral("wykres.png"),
                       QStringLiteral("Obrazy PNG (*.png);;Dokumenty PDF (*.pdf)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The dialog adds the chosen kind's ending itself, and so asks before it replaces "NAME.png".
    dialog.setDefaultSuffix(QStringLiteral("png"));
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        dialog.setDefaultSuffix(filter.contains(QStringLiteral("pdf")) ? QStringLiteral("pdf") : QStringLiteral("png"));
    });
    dialog.selectFile(QStringLiteral("wykres.png"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString chosen = dialog.selectedFiles().first();
    const QString suffix =
        dialog.selectedNameFilter().contains(QStringLiteral("pdf")) ? QStringLiteral(".pdf") : QStringLiteral(".png");
    QString path = chosen;
    if (!path.endsWith(suffix, Qt::CaseInsensitive)) path += suffix;
    // A name given with another ending gets the kind's ending here, after the dialog's own question.
    if (path != chosen && QFileInfo::exists(path) &&
        QMessageBox::question(this, window()->windowTitle(),
                              QStringLiteral("Plik %1 już istnieje.\nCzy chcesz go zastąpić?").arg(path)) != QMessageBox::Yes)
        return;
    if (!savePicture(path))
        QMessageBox::critical(this, window()->windowTitle(), QStringLiteral("Błąd zapisu wykresu do pliku:\n%1").arg(path));
}

} // namespace kavrel::monitor::ui
