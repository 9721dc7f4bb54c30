#include "monitor/ui/trend_chart.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineSeries>
#include <QMessageBox>
#include <QPushButton>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "common/qt/qt_text.h"

namespace kavrel::monitor::ui {
namespace {

struct TypeText {
    const char* unit;
    const char* axisTitle;
};

// By LineType: Voltage, Temperature, Humidity.
constexpr TypeText kTypeTexts[] = {{"V", "U [V]"}, {"°C", "T [°C]"}, {"%", "RH [%]"}};

const QColor kLineColours[kInputLines] = {QColor(0x1f, 0x77, 0xb4), QColor(0xff, 0x7f, 0x0e), QColor(0x2c, 0xa0, 0x2c),
                                          QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b), QColor(0xe3, 0x77, 0xc2),
                                          QColor(0x7f, 0x7f, 0x7f), QColor(0x17, 0xbe, 0xcf)};
const QColor kLowColour(0x00, 0x40, 0xff);
const QColor kHighColour(0xe0, 0x00, 0x00);

QHash<QXYSeries::PointConfiguration, QVariant> alarmPoint(const QColor& colour) {
    return {{QXYSeries::PointConfiguration::Color, colour},
            {QXYSeries::PointConfiguration::Size, 3.0},
            {QXYSeries::PointConfiguration::Visibility, true}};
}

// A value axis over [low, high] with a little room, never of zero height.
void fitAxis(QValueAxis* axis, double low, double high) {
    if (low > high) {
        low = 0;
        high = 1;
    }
    const double margin = std::max((high - low) * 0.05, 0.5);
    axis->setRange(low - margin, high + margin);
    axis->applyNiceNumbers();
}

} // namespace

TrendChart::TrendChart(QWidget* parent, std::size_t capacity) : QWidget(parent), buffer_(capacity) {
    chart_ = new QChart;
    chart_->legend()->setAlignment(Qt::AlignRight);
    chart_->setMargins(QMargins(4, 4, 4, 4));
    timeAxis_ = new QDateTimeAxis;
    timeAxis_->setFormat(QStringLiteral("HH:mm:ss"));
    timeAxis_->setTitleText(QStringLiteral("Czas"));
    timeAxis_->setTickCount(7);
    mainAxis_ = new QValueAxis;
    secondValueAxis_ = new QValueAxis;
    chart_->addAxis(timeAxis_, Qt::AlignBottom);
    chart_->addAxis(mainAxis_, Qt::AlignLeft);
    chart_->addAxis(secondValueAxis_, Qt::AlignRight);
    for (int i = 0; i < kInputLines; ++i) {
        auto* series = new QLineSeries;
        series->setColor(kLineColours[i]);
        series->setPointsVisible(false);
        chart_->addSeries(series);
        series->attachAxis(timeAxis_);
        series->attachAxis(mainAxis_);
        series_[i] = series;
    }
    view_ = new QChartView(chart_, this);
    view_->setRenderHint(QPainter::Antialiasing);
    view_->setMinimumHeight(230);

    auto* boxes = new QHBoxLayout;
    for (int i = 0; i < kInputLines; ++i) {
        boxes_[i] = new QCheckBox(QStringLiteral("L%1").arg(i + 1), this);
        boxes_[i]->setObjectName(QStringLiteral("trendLine%1").arg(i + 1));
        boxes_[i]->setChecked(true);
        connect(boxes_[i], &QCheckBox::toggled, this, [this, i](bool shown) {
            series_[i]->setVisible(shown);
            redraw();
        });
        boxes->addWidget(boxes_[i]);
    }
    boxes->addStretch();
    auto* save = new QPushButton(QStringLiteral("Zapisz wykres..."), this);
    connect(save, &QPushButton::clicked, this, &TrendChart::chooseAndSave);
    boxes->addWidget(save);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_, 1);
    layout->addLayout(boxes);
    setLines(MonitorSettings{});
}

void TrendChart::setLines(const MonitorSettings& settings) {
    // The type most lines have goes on the left axis, the others on the right.
    std::array<int, 3> perType{};
    for (int i = 0; i < kInputLines; ++i) ++perType[static_cast<int>(settings.typeOf(i))];
    const int mainType = static_cast<int>(std::max_element(perType.begin(), perType.end()) - perType.begin());
    QStringList secondTitles;
    for (int type = 0; type < 3; ++type)
        if (type != mainType && perType[type] > 0) secondTitles << QString::fromUtf8(kTypeTexts[type].axisTitle);
    mainAxis_->setTitleText(QString::fromUtf8(kTypeTexts[mainType].axisTitle));
    secondValueAxis_->setTitleText(secondTitles.join(QStringLiteral(" / ")));
    secondValueAxis_->setVisible(!secondTitles.isEmpty());

    for (int i = 0; i < kInputLines; ++i) {
        const int type = static_cast<int>(settings.typeOf(i));
        const QString name = toQString(settings.lineName[i]);
        series_[i]->setName(QStringLiteral("%1 [%2]").arg(name, QString::fromUtf8(kTypeTexts[type].unit)));
        boxes_[i]->setText(name.isEmpty() ? QStringLiteral("L%1").arg(i + 1) : name);
        const bool second = type != mainType;
        if (second != secondAxis_[i]) {
            series_[i]->detachAxis(second ? mainAxis_ : secondValueAxis_);
            series_[i]->attachAxis(second ? secondValueAxis_ : mainAxis_);
            secondAxis_[i] = second;
        }
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
    const auto low = alarmPoint(kLowColour), high = alarmPoint(kHighColour);
    double bottom[2] = {HUGE_VAL, HUGE_VAL}, top[2] = {-HUGE_VAL, -HUGE_VAL};
    for (int i = 0; i < kInputLines; ++i) {
        QList<QPointF> points;
        QHash<int, QHash<QXYSeries::PointConfiguration, QVariant>> alarms;
        points.reserve(static_cast<qsizetype>(buffer_.size()));
        for (std::size_t n = 0; n < buffer_.size(); ++n) {
            const TrendSample& sample = buffer_.at(n);
            if (!sample.value[i]) continue;
            const double value = *sample.value[i];
            const int at = static_cast<int>(points.size());
            if ((sample.highMask >> i) & 1) alarms.insert(at, high);
            else if ((sample.lowMask >> i) & 1) alarms.insert(at, low);
            points.append(QPointF(static_cast<double>(sample.msecsSinceEpoch), value));
            if (boxes_[i]->isChecked()) {
                bottom[secondAxis_[i]] = std::min(bottom[secondAxis_[i]], value);
                top[secondAxis_[i]] = std::max(top[secondAxis_[i]], value);
            }
        }
        QLineSeries* series = series_[i];
        series->replace(points);
        series->setPointsConfiguration(alarms);   // all at once: one update of the chart
    }
    fitAxis(mainAxis_, bottom[0], top[0]);
    fitAxis(secondValueAxis_, bottom[1], top[1]);

    // At least a minute of time, the newest reading at the right edge.
    const qint64 now = buffer_.size() ? buffer_.at(buffer_.size() - 1).msecsSinceEpoch : QDateTime::currentMSecsSinceEpoch();
    const qint64 first = buffer_.size() ? buffer_.at(0).msecsSinceEpoch : now;
    timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(std::min(first, now - 60000)), QDateTime::fromMSecsSinceEpoch(now));
}

bool TrendChart::savePicture(const QString& path) { return view_->grab().save(path, "PNG"); }

void TrendChart::chooseAndSave() {
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Zapisz wykres"), QStringLiteral("wykres.png"),
                                                QStringLiteral("Obrazy PNG (*.png)"));
    if (path.isEmpty()) return;
    if (!path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) path += QStringLiteral(".png");
    if (!savePicture(path))
        QMessageBox::critical(this, window()->windowTitle(), QStringLiteral("Błąd zapisu wykresu do pliku:\n%1").arg(path));
}

} // namespace kavrel::monitor::ui
