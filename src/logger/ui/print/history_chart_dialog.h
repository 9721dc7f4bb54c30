// "Wykres": the measurement lines of a history CSV over time, each line on the axis of its
// unit and named as in the file's heading. Dragging across the chart zooms in, the right
// button zooms out, "Cały zakres" shows everything again; the list beside the chart shows
// or hides each line (the axes follow the lines shown), and a click on a name draws that
// line bold over the others drawn pale; the chart can be saved as a PNG
// picture or a PDF page. The file is read on a worker thread: only a regular file, within
// bounds, so that neither a FIFO nor a huge heading can hold the window.
#pragma once

#include <QDialog>
#include <QString>
#include <atomic>
#include <thread>

#include "common/chart/chart_data.h"

class QEventLoop;
class QLabel;
class QListWidget;
class QPushButton;

namespace kavrel::ui {
class ChartWidget;
}

namespace kavrel::logger::ui {

class HistoryChartDialog : public QDialog {
    Q_OBJECT
public:
    explicit HistoryChartDialog(const QString& csvPath, QWidget* parent = nullptr);
    ~HistoryChartDialog() override;

    // Serves the window's events until the file has been read (tests, pictures).
    void waitForLoaded();
    bool loaded() const { return loaded_; }
    // Whether the file gave at least one row to draw.
    bool hasData() const { return hasData_; }
    // What the window says under the chart: the hint, or why there is nothing to draw.
    QString note() const;
    kavrel::ui::ChartWidget* chart() const { return chart_; }

    // Shows or hides line `index` (in the order of the file's columns).
    void setLineShown(int index, bool shown);
    // Draws line `index` bold over the others drawn pale (-1: all alike).
    void setLineHighlighted(int index);

    // The chart as shown, into a PNG picture or a PDF page; false when it cannot be written.
    bool savePng(const QString& path) const;
    bool savePdf(const QString& path) const;

private:
    void showLines(int result, kavrel::ui::ChartData data);
    void askAndSave(bool pdf);

    kavrel::ui::ChartWidget* chart_;
    QListWidget* lines_;
    QLabel* note_;
    QPushButton* whole_;
    QPushButton* png_;
    QPushButton* pdf_;
    QString fileName_;
    bool loaded_ = false;
    QEventLoop* loadWait_ = nullptr;   // the loop of waitForLoaded while it waits
    bool hasData_ = false;
    bool checkToggled_ = false;
    std::atomic<bool> stop_{false};
    std::thread reader_;
};

} // namespace kavrel::logger::ui
