#include "logger/ui/print/history_chart_dialog.h"

#include <QApplication>
#include <QEventLoop>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>
#include <memory>
#include <utility>

#include "common/qt/qt_path.h"
#include "common/qt/chart/chart_widget.h"
#include "logger/chart/history_chart.h"
#include "logger/chart/history_series.h"

namespace kavrel::logger::ui {
namespace {

const QString kHint = QStringLiteral("Zaznacz obszar myszą, aby go powiększyć; prawy przycisk pomniejsza.");

// The line's colour and dash, as the legend shows them.
QIcon lineSwatch(std::size_t index) {
    QPixmap swatch(24, 12);
    swatch.fill(Qt::transparent);
    QPainter painter(&swatch);
    QPen pen(kavrel::ui::seriesColour(index), 2);
    if (const auto dashes = kavrel::ui::seriesDashes(index); !dashes.isEmpty()) pen.setDashPattern(dashes);
    painter.setPen(pen);
    painter.drawLine(0, 6, 24, 6);
    return QIcon(swatch);
}

} // namespace

HistoryChartDialog::HistoryChartDialog(const QString& csvPath, QWidget* parent)
    : QDialog(parent), chart_(new kavrel::ui::ChartWidget(this)), lines_(new QListWidget(this)), note_(new QLabel(this)) {
    setWindowTitle(QStringLiteral("Wykres"));
    resize(960, 600);

    auto* buttons = new QDialogButtonBox(this);
    whole_ = buttons->addButton(QStringLiteral("Cały zakres"), QDialogButtonBox::ActionRole);
    whole_->setObjectName(QStringLiteral("zoomReset"));
    png_ = buttons->addButton(QStringLiteral("Zapisz jako PNG…"), QDialogButtonBox::ActionRole);
    png_->setObjectName(QStringLiteral("savePng"));
    pdf_ = buttons->addButton(QStringLiteral("Zapisz jako PDF…"), QDialogButtonBox::ActionRole);
    pdf_->setObjectName(QStringLiteral("savePdf"));
    buttons->addButton(QStringLiteral("Zamknij"), QDialogButtonBox::RejectRole);
    for (QPushButton* button : {whole_, png_, pdf_}) button->setEnabled(false);
    connect(whole_, &QPushButton::clicked, chart_, &kavrel::ui::ChartWidget::resetZoom);
    connect(png_, &QPushButton::clicked, this, [this] { askAndSave(false); });
    connect(pdf_, &QPushButton::clicked, this, [this] { askAndSave(true); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    const QString name = QFileInfo(csvPath).fileName();
    fileName_ = name;
    note_->setText(QStringLiteral("Wczytywanie pliku %1…").arg(name));
    lines_->setObjectName(QStringLiteral("lines"));
    lines_->setMaximumWidth(180);
    lines_->setToolTip(QStringLiteral("Kliknij nazwę linii, aby wyróżnić ją na wykresie; kliknij ponownie, aby zdjąć wyróżnienie."));
    connect(lines_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        if (std::exchange(checkToggled_, false)) return;
        const int row = lines_->row(item);
        setLineHighlighted(chart_->chartPainter().highlighted() == row ? -1 : row);
    });
    connect(lines_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        const int index = lines_->row(item);
        if (index >= 0) chart_->setSeriesShown(static_cast<std::size_t>(index), item->checkState() == Qt::Checked);
        checkToggled_ = true;   // the click that ticked the box is no click on the name
    });
    auto* layout = new QVBoxLayout(this);
    auto* chartRow = new QHBoxLayout;
    chartRow->addWidget(chart_, 1);
    chartRow->addWidget(lines_);
    layout->addLayout(chartRow, 1);
    layout->addWidget(note_);
    layout->addWidget(buttons);

    // The file is read and turned into the chart's lines on a thread of its own, which owns
    // what it reads and hands the lines over in one queued call.
    const std::filesystem::path file = pathFromQString(csvPath);
    const std::string title = "Historia pomiarów: " + name.toStdString();
    reader_ = std::thread([this, file, title] {
        HistoryData history;
        const HistoryReadResult result = readHistorySeries(file, history, &stop_);
        auto chart = std::make_shared<kavrel::ui::ChartData>();
        std::vector<std::string> missing;
        if (result == HistoryReadResult::Ok) *chart = historyChart(history, title, {}, missing);
        QMetaObject::invokeMethod(
            this, [this, result, chart] { showLines(static_cast<int>(result), std::move(*chart)); }, Qt::QueuedConnection);
    });
}

HistoryChartDialog::~HistoryChartDialog() {
    stop_ = true;
    if (reader_.joinable()) reader_.join();
}

void HistoryChartDialog::showLines(int result, kavrel::ui::ChartData data) {
    reader_.join();
    loaded_ = true;
    if (loadWait_) loadWait_->quit();
    const auto read = static_cast<HistoryReadResult>(result);
    if (read != HistoryReadResult::Ok) {
        note_->setText(QString::fromStdString(historyReadMessage(read, fileName_.toStdString())));
        return;
    }
    for (std::size_t i = 0; i < data.series.size(); ++i) {
        auto* item = new QListWidgetItem(lineSwatch(i), QString::fromStdString(data.series[i].label()), lines_);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
    chart_->setData(std::move(data));
    checkToggled_ = false;
    note_->setText(kHint);
    hasData_ = true;
    for (QPushButton* button : {whole_, png_, pdf_}) button->setEnabled(true);
}

void HistoryChartDialog::waitForLoaded() {
    // A loop of its own, ended by the reader's handover: waiting for "more events" may miss
    // one that the reader posted before the wait began (seen on Windows).
    if (loaded_) return;
    QEventLoop loop;
    loadWait_ = &loop;
    loop.exec();
    loadWait_ = nullptr;
}

QString HistoryChartDialog::note() const { return note_->text(); }

void HistoryChartDialog::setLineShown(int index, bool shown) {
    if (QListWidgetItem* item = lines_->item(index)) item->setCheckState(shown ? Qt::Checked : Qt::Unchecked);
}

void HistoryChartDialog::setLineHighlighted(int index) {
    chart_->setHighlighted(index);
    if (index < 0) lines_->clearSelection();
    else if (QListWidgetItem* item = lines_->item(index)) item->setSelected(true);
}

bool HistoryChartDialog::savePng(const QString& path) const { return chart_->savePng(path); }

bool HistoryChartDialog::savePdf(const QString& path) const { return chart_->savePdf(path); }

void HistoryChartDialog::askAndSave(bool pdf) {
    const QString suffix = pdf ? QStringLiteral(".pdf") : QStringLiteral(".png");
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Zapisz wykres"), QStringLiteral("wykres") + suffix,
                                                pdf ? QStringLiteral("Dokumenty PDF (*.pdf)") : QStringLiteral("Obrazy PNG (*.png)"));
    if (path.isEmpty()) return;
    if (!path.endsWith(suffix, Qt::CaseInsensitive)) path += suffix;
    if (!(pdf ? savePdf(path) : savePng(path)))
        QMessageBox::warning(this, QStringLiteral("Kavrel-Logger"), QStringLiteral("Błąd zapisu pliku %1").arg(path));
}

} // namespace kavrel::logger::ui
