// "Diagnostyka": the port doctor's report in a window, opened from the port picker, for a
// technician whose adapter is plugged in but whose COM port does not open.
#pragma once

#include <QDialog>
#include <functional>
#include <vector>

#include "link/ports/port_facts.h"

class QPlainTextEdit;

namespace kavrel {

using PortFactsSource = std::function<std::vector<link::PortFacts>()>;

class PortDoctorDialog : public QDialog {
    Q_OBJECT
public:
    explicit PortDoctorDialog(PortFactsSource source = link::gatherPortFacts, QWidget* parent = nullptr);

    QString reportText() const;
    void refresh();

private:
    PortFactsSource source_;
    QPlainTextEdit* report_;
};

} // namespace kavrel
