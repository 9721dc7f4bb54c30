// "Wykres": the measurement lines of a history CSV over time, one series per line named
// as in the file's heading. Dragging a rectangle zooms in, the right button zooms out,
// a legend entry hides or shows its line; the chart can be saved as a PNG picture.
#pragma once

#include <QDialog>
#include <QString>

class QChart;
class QChartView;
class QLabel;

namespace kavrel::logger::ui {

class HistoryChartDialog : public QDialog {
    Q_OBJECT
public:
    explicit HistoryChartDialog(const QString& csvPath, QWidget* parent = nullptr);

    // Whether the file gave at least one row to draw.
    bool hasData() const { return hasData_; }
    QChart* chart() const;

    // The chart as shown, into a PNG file; false when it cannot be written.
    bool savePng(const QString& path) const;

private:
    void load(const QString& csvPath);
    void askAndSave();

    QChartView* view_;
    QLabel* note_;
    bool hasData_ = false;
};

} // namespace kavrel::logger::ui
