#include "link/qt/port_doctor_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "link/ports/port_doctor.h"

namespace kavrel {

PortDoctorDialog::PortDoctorDialog(PortFactsSource source, QWidget* parent) : QDialog(parent), source_(std::move(source)) {
    setWindowTitle(QStringLiteral("Diagnostyka portów"));
    auto* intro = new QLabel(QStringLiteral("Porty szeregowe i adaptery USB tego komputera: co im dolega i co zrobić."), this);
    intro->setWordWrap(true);
    report_ = new QPlainTextEdit(this);
    report_->setObjectName(QStringLiteral("report"));
    report_->setReadOnly(true);
    report_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    report_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    report_->setMinimumSize(760, 280);
    auto* refreshButton = new QPushButton(QStringLiteral("Odśwież"), this);
    auto* copyButton = new QPushButton(QStringLiteral("Kopiuj"), this);
    auto* closeButton = new QPushButton(QStringLiteral("Zamknij"), this);
    closeButton->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(refreshButton);
    buttons->addWidget(copyButton);
    buttons->addStretch();
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(report_, 1);
    layout->addLayout(buttons);
    connect(refreshButton, &QPushButton::clicked, this, &PortDoctorDialog::refresh);
    // The report goes to a colleague or a support request as text.
    connect(copyButton, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(reportText()); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
    refresh();
}

QString PortDoctorDialog::reportText() const { return report_->toPlainText(); }

void PortDoctorDialog::refresh() {
    const std::string report = link::portDoctorReport(link::diagnose(source_()));
    report_->setPlainText(QString::fromUtf8(report.data(), static_cast<int>(report.size())));
}

} // namespace kavrel
