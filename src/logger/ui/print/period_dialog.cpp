#include "logger/ui/print/period_dialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "common/qt/qt_text.h"
#include "logger/print/print_period.h"

namespace kavrel::logger::ui {
namespace {

constexpr int kTitleBarButtonsPx = 140;   // the icon and the close (and help) buttons

int titleRoom(const QWidget& window) {
    QFont titleFont = window.font();
    titleFont.setBold(true);   // title bars often are
    return QFontMetrics(titleFont).horizontalAdvance(window.windowTitle()) + kTitleBarButtonsPx;
}

} // namespace

Czakres::Czakres(QWidget* parent) : QDialog(parent), choices_(new QButtonGroup(this)) {
    setWindowTitle(QStringLiteral("Wybierz zakres danych"));
    auto* layout = new QVBoxLayout(this);
    for (int period = 0; period < kPeriodCount; ++period) {
        auto* button = new QRadioButton(toQString(periodButtonText(period)), this);
        button->setObjectName(QStringLiteral("period%1").arg(period));
        choices_->addButton(button, period);
        layout->addWidget(button);
    }
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("Anuluj"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    // Wide enough for its title beside the title bar's icon and buttons, which a window
    // manager would otherwise cut ("Wybie… anych").
    setMinimumWidth(titleRoom(*this));
    setPeriod(kDefaultPeriod);
}

void Czakres::setPeriod(int period) {
    if (period < 0 || period >= kPeriodCount) period = kDefaultPeriod;
    choices_->button(period)->setChecked(true);
}

int Czakres::period() const { return choices_->checkedId(); }

int Czakres::choose(int current) {
    setPeriod(current);
    return exec() == QDialog::Accepted ? period() : -1;
}

} // namespace kavrel::logger::ui
