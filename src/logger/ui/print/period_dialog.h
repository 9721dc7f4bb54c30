// "Wybierz zakres danych": which recent period of history to print.
#pragma once

#include <QDialog>

class QButtonGroup;

namespace kavrel::logger::ui {

class Czakres : public QDialog {
    Q_OBJECT
public:
    explicit Czakres(QWidget* parent = nullptr);

    // The choice 0..5 shown checked; outside that range the default, the last month.
    void setPeriod(int period);
    int period() const;

    // Shows the dialog with `current` checked: the chosen period, or -1 when cancelled.
    int choose(int current);

private:
    QButtonGroup* choices_;
};

} // namespace kavrel::logger::ui
