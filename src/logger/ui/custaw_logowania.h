// "Ustawienia logowania": the module's logging period in minutes (shown with the period
// the module reported last) and whether the module clock is set from the PC's clock with
// it (remembered while the program runs). One object lives as long as the window.
#pragma once

#include <QDialog>

class QCheckBox;

namespace kavrel::ui {
class NumberEdit;
}

namespace kavrel::logger::ui {

class Custaw_logowania : public QDialog {
    Q_OBJECT
public:
    explicit Custaw_logowania(QWidget* parent = nullptr);

    int period() const { return period_; }
    bool setClock() const { return setClock_; }
    // The period the dialog shows at its next opening.
    void setPeriod(int minutes);

    int exec() override;

public slots:
    void accept() override;

private:
    kavrel::ui::NumberEdit* periodEdit_;
    QCheckBox* clockBox_;
    int period_ = 0;
    bool setClock_ = false;
};

} // namespace kavrel::logger::ui
