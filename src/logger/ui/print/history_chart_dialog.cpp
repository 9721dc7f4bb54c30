#include "logger/ui/print/history_chart_dialog.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPixmap>
#include <QLineSeries>
#include <QMessageBox>
#include <QPushButton>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "common/qt/qt_text.h"
#include "logger/chart/history_series.h"

namespace kavrel::logger::ui {
namespace {

QString readFailure(HistoryReadResult result, const QString& path) {
    const QString name = QFileInfo(path).fileName();
    switch (result) {
    case HistoryReadResult::CannotOpen: return QStringLiteral("Nie można otworzyć pliku %1.").arg(name);
    case HistoryReadResult::NotHistory: return QStringLiteral("Plik %1 nie zawiera historii pomiarów.").arg(name);
    case HistoryReadResult::NoRows: return QStringLiteral("Brak pomiarów w pliku %1.").arg(name);
    case HistoryReadResult::Ok: break;
    }
    return {};
}

qint64 msecsOf(const LocalDateTime& t) {
    return QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second)).toMSecsSinceEpoch();
}

} // namespace

HistoryChartDialog::HistoryChartDialog(const QString& csvPath, QWidget* parent)
    : QDialog(parent), view_(new QChartView(this)), lines_(new QListWidget(this)), note_(new QLabel(this)) {
    setWindowTitle(QStringLiteral("Wykres"));
    resize(960, 600);
    view_->setRenderHint(QPainter::Antialiasing);
    view_->setRubberBand(QChartView::RectangleRubberBand);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* whole = buttons->addButton(QStringLiteral("Cały zakres"), QDialogButtonBox::ActionRole);
    whole->setObjectName(QStringLiteral("zoomReset"));
    QPushButton* save = buttons->addButton(QStringLiteral("Zapisz jako PNG…"), QDialogButtonBox::ActionRole);
    save->setObjectName(QStringLiteral("savePng"));
    buttons->addButton(QStringLiteral("Zamknij"), QDialogButtonBox::RejectRole);
    connect(whole, &QPushButton::clicked, this, [this] { view_->chart()->zoomReset(); });
    connect(save, &QPushButton::clicked, this, &HistoryChartDialog::askAndSave);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    note_->setText(QStringLiteral("Zaznacz obszar myszą, aby go powiększyć; prawy przycisk pomniejsza."));
    lines_->setObjectName(QStringLiteral("lines"));
    lines_->setMaximumWidth(180);
    connect(lines_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        const int index = lines_->row(item);
        const QList<QAbstractSeries*> series = view_->chart()->series();
        if (index < 0 || index >= series.size()) return;
        series[index]->setVisible(item->checkState() == Qt::Checked);
        fitValueAxis();
    });
    auto* layout = new QVBoxLayout(this);
    auto* chartRow = new QHBoxLayout;
    chartRow->addWidget(view_, 1);
    chartRow->addWidget(lines_);
    layout->addLayout(chartRow, 1);
    layout->addWidget(note_);
    layout->addWidget(buttons);
    load(csvPath);
    save->setEnabled(hasData_);
    whole->setEnabled(hasData_);
}

QChart* HistoryChartDialog::chart() const { return view_->chart(); }

void HistoryChartDialog::load(const QString& csvPath) {
    QChart* chart = view_->chart();
    chart->setTitle(QStringLiteral("Historia pomiarów: %1").arg(QFileInfo(csvPath).fileName()));
    HistoryData data;
    const HistoryReadResult result = readHistorySeries(csvPath.toStdString(), data);
    if (result != HistoryReadResult::Ok) {
        note_->setText(readFailure(result, csvPath));
        return;
    }
    auto* timeAxis = new QDateTimeAxis(chart);
    timeAxis->setFormat(QStringLiteral("yyyy-MM-dd hh:mm"));
    timeAxis->setTitleText(QStringLiteral("Czas RTC"));
    auto* valueAxis = new QValueAxis(chart);
    chart->addAxis(timeAxis, Qt::AlignBottom);
    chart->addAxis(valueAxis, Qt::AlignLeft);

    std::vector<qint64> times;
    times.reserve(data.times.size());
    for (const LocalDateTime& t : data.times) times.push_back(msecsOf(t));
    for (const HistorySeries& source : data.series) {
        double low = 0, high = 0;
        bool any = false;
        auto* series = new QLineSeries(chart);
        series->setName(toQString(source.name));
        QList<QPointF> points;
        for (std::size_t i = 0; i < source.values.size() && i < times.size(); ++i) {
            if (!source.values[i]) continue;
            const double v = *source.values[i];
            points.append(QPointF(double(times[i]), v));
            low = any ? std::min(low, v) : v;
            high = any ? std::max(high, v) : v;
            any = true;
        }
        series->replace(points);
        chart->addSeries(series);
        series->attachAxis(timeAxis);
        series->attachAxis(valueAxis);
        if (any) ranges_.emplace_back(low, high);
        else ranges_.emplace_back(1.0, 0.0);   // no value: no say in the axis
        QPixmap swatch(12, 12);
        swatch.fill(series->color());
        auto* item = new QListWidgetItem(QIcon(swatch), series->name(), lines_);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
    valueAxis_ = valueAxis;
    const auto [first, last] = std::minmax_element(times.begin(), times.end());
    timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(*first), QDateTime::fromMSecsSinceEpoch(std::max(*last, *first + 60000)));
    fitValueAxis();
    chart->legend()->hide();
    hasData_ = true;
}

void HistoryChartDialog::setLineShown(int index, bool shown) {
    if (QListWidgetItem* item = lines_->item(index)) item->setCheckState(shown ? Qt::Checked : Qt::Unchecked);
}

void HistoryChartDialog::fitValueAxis() {
    if (!valueAxis_) return;
    const QList<QAbstractSeries*> series = view_->chart()->series();
    double low = 0, high = 0;
    bool any = false;
    for (qsizetype i = 0; i < series.size() && i < qsizetype(ranges_.size()); ++i) {
        if (!series[i]->isVisible() || ranges_[i].first > ranges_[i].second) continue;
        low = any ? std::min(low, ranges_[i].first) : ranges_[i].first;
        high = any ? std::max(high, ranges_[i].second) : ranges_[i].second;
        any = true;
    }
    const double margin = std::max(1.0, (high - low) * 0.05);
    valueAxis_->setRange(std::floor(low - margin), std::ceil(high + margin));
}

bool HistoryChartDialog::savePng(const QString& path) const {
    return view_->grab().save(path, "PNG");
}

void HistoryChartDialog::askAndSave() {
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Zapisz wykres"), QStringLiteral("wykres.png"),
                                                QStringLiteral("Obrazy PNG (*.png)"));
    if (path.isEmpty()) return;
    if (!path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) path += QStringLiteral(".png");
    if (!savePng(path)) QMessageBox::warning(this, QStringLiteral("Kavrel-Logger"), QStringLiteral("Błąd zapisu pliku %1").arg(path));
}

} // namespace kavrel::logger::ui
