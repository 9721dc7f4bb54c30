#include "monitor/ui/custaw_ext.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/qt/fields/field_checks.h"
#include "monitor/monitor_settings.h"
#include "monitor/ui/fitting_text_edit.h"

namespace kavrel::monitor::ui {
namespace {

// The dialog takes names of any length as typed; a name must fit the settings' field.
constexpr int kNameTyped = 255;

} // namespace

Custaw_ext::Custaw_ext(const QStringList& names, QWidget* parent) : QDialog(parent), names_(names) {
    setWindowTitle(QStringLiteral("Ustawienia linii rozszerzonych"));
    auto* grid = new QGridLayout;
    constexpr int kPerColumn = kExtendedLines / 2;
    for (int column = 0; column < 2; ++column) {
        grid->addWidget(new QLabel(QStringLiteral("Linia"), this), 0, column * 3);
        grid->addWidget(new QLabel(QStringLiteral("Nazwa linii"), this), 0, column * 3 + 1);
    }
    for (int i = 0; i < kExtendedLines; ++i) {
        const int column = i / kPerColumn, row = i % kPerColumn + 1;
        edits_[i] = new FittingTextEdit(kNameTyped, static_cast<int>(kExtNameMax), this);
        edits_[i]->setObjectName(QStringLiteral("extName%1").arg(i + 1));
        edits_[i]->setText(names.value(i));
        edits_[i]->setMinimumWidth(edits_[i]->fontMetrics().horizontalAdvance(QString(18, QLatin1Char('n'))));
        grid->addWidget(new QLabel(QStringLiteral("XL%1").arg(i + 1), this), row, column * 3);
        grid->addWidget(edits_[i], row, column * 3 + 1);
    }
    grid->setColumnMinimumWidth(2, 16);   // between the two columns

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Wprowadź"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("Anuluj"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &Custaw_ext::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &Custaw_ext::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
}

void Custaw_ext::accept() {
    if (!kavrel::ui::checkFields(this, QList<QLineEdit*>(edits_.begin(), edits_.end()))) return;
    names_.clear();
    for (FittingTextEdit* edit : edits_) names_ << edit->text();
    QDialog::accept();
}

} // namespace kavrel::monitor::ui
