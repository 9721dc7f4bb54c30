// "Wykres": the measurement lines of a history CSV over time, one series per line named
// as in the file's heading. Dragging a rectangle zooms in, the right button zooms out;
// the list beside the chart shows or hides each line (the value axis follows the lines
// shown); the chart can be saved as a PNG picture.
#pragma once

#include <QDialog>
#include <QString>

#include <utility>
#include <vector>

class QChart;
class QChartView;
class QLabel;
class QListWidget;
class QValueAxis;

namespace kavrel::logger::ui {

class HistoryChartDialog : public QDialog {
    Q_OBJECT
public:
    explicit HistoryChartDialog(const QString& csvPath, QWidget* parent = nullptr);

    // Whether the file gave at least one row to draw.
    bool hasData() const { return hasData_; }
    QChart* chart() const;

    // Shows or hides line `index` (in the order of the file's columns).
    void setLineShown(int index, bool shown);

    // The chart as shown, into a PNG file; false when it cannot be written.
    bool savePng(const QString& path) const;

private:
    void load(const QString& csvPath);
    void askAndSave();
    void fitValueAxis();

    QChartView* view_;
    QListWidget* lines_;
    QLabel* note_;
    QValueAxis* valueAxis_ = nullptr;
    std::vector<std::pair<double, double>> ranges_;   // lowest and highest value of each line
    bool hasData_ = false;
};

} // namespace kavrel::logger::ui
