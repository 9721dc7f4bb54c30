// "Ustawienia linii rozszerzonych": the names of XL1..XL16, filled with the names the main
// window shows and handed back only when "Wprowadź" is pressed and every name fits.
#pragma once

#include <QDialog>
#include <QStringList>
#include <array>

#include "monitor/measurement.h"

namespace kavrel::monitor::ui {

class FittingTextEdit;

class Custaw_ext : public QDialog {
    Q_OBJECT
public:
    explicit Custaw_ext(const QStringList& names, QWidget* parent = nullptr);
    const QStringList& names() const { return names_; }

public slots:
    void accept() override;

private:
    QStringList names_;
    std::array<FittingTextEdit*, kExtendedLines> edits_{};
};

} // namespace kavrel::monitor::ui
