// What the monitor's window shows of the module: the eight input lines (name, bar, value,
// alarm), the outputs, the GSM signal, the counters and the state (ReadingsPanel: four
// columns the window lays out in its top row, beside its buttons, so that they share its
// width as one row), and the sixteen extended lines in a group of their own below
// (ExtendedReadingsPanel). Each shows a MonitorDisplay and keeps nothing else: the window
// decides when. The widgets' object names are the ones the tests reach them by.
#pragma once

#include <QGroupBox>
#include <QWidget>
#include <array>

#include "monitor/display.h"

class QCheckBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QProgressBar;

namespace kavrel::monitor::ui {

class ReadingsPanel {
public:
    // The widgets are the parent's children: the window owns them.
    explicit ReadingsPanel(QWidget* parent);
    // Lays the four columns out in the row, the counters taking the room to spare.
    void addColumns(QHBoxLayout& row) const;
    void show(const MonitorDisplay& display);

private:
    QWidget* buildInputLines(int first);
    QWidget* buildOutputsAndGsm();
    QWidget* buildCounters();

    QWidget* parent_;
    std::array<QWidget*, 4> columns_{};

    struct LineWidgets {
        QLabel* name;
        QProgressBar* bar;
        QLineEdit* value;
        QLabel* alarm;
    };
    std::array<LineWidgets, kInputLines> lines_{};
    std::array<QCheckBox*, kOutputLines> outputs_{};
    QLabel* alarmState_;
    QLabel* status_;
    QProgressBar* gsmBar_;
    QLineEdit* gsmNumber_;
    QLabel* noNetwork_;
    QLineEdit* portField_;
    QLineEdit* smsField_;
    QLineEdit* emailField_;
    QLineEdit* rowField_;
    QLineEdit* answeredField_;
    QLineEdit* periodField_;
    QLineEdit* fileField_;
};

class ExtendedReadingsPanel : public QGroupBox {
public:
    explicit ExtendedReadingsPanel(QWidget* parent = nullptr);
    void show(const MonitorDisplay& display);

private:
    struct ExtendedWidgets {
        QLabel* name;
        QCheckBox* high;
        QCheckBox* low;
        QLineEdit* value;
    };
    std::array<ExtendedWidgets, kExtendedLines> extended_{};
};

} // namespace kavrel::monitor::ui
