#include "link/qt/trace_choice_row.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QStandardPaths>
#include <QToolButton>

#include "common/qt/qt_text.h"

namespace kavrel {

TraceChoiceRow::TraceChoiceRow(const link::TraceChoice& choice, QWidget* parent) : QWidget(parent) {
    enabled_ = new QCheckBox(QStringLiteral("Zapisuj przebieg transmisji do pliku:"), this);
    enabled_->setObjectName(QStringLiteral("traceEnabled"));
    enabled_->setToolTip(QStringLiteral("Każda linia wysłana do modułu i każda odpowiedź, z czasem w milisekundach "
                                        "(do diagnozy połączenia)"));
    enabled_->setChecked(choice.enabled);
    file_ = new QLineEdit(choice.file.empty() ? defaultFile() : toQString(choice.file), this);
    file_->setObjectName(QStringLiteral("traceFile"));
    file_->setMinimumWidth(220);
    browse_ = new QToolButton(this);
    browse_->setText(QStringLiteral("..."));
    browse_->setToolTip(QStringLiteral("Wybierz plik przebiegu transmisji"));
    connect(browse_, &QToolButton::clicked, this, &TraceChoiceRow::chooseFile);
    const auto follow = [this](bool on) {
        file_->setEnabled(on);
        browse_->setEnabled(on);
    };
    connect(enabled_, &QCheckBox::toggled, this, follow);
    follow(choice.enabled);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(enabled_);
    row->addWidget(file_, 1);
    row->addWidget(browse_);
}

link::TraceChoice TraceChoiceRow::choice() const {
    return {enabled_->isChecked(), fromQString(file_->text().trimmed())};
}

QString TraceChoiceRow::defaultFile() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty()) folder = QDir::homePath();
    return QDir::toNativeSeparators(folder + QStringLiteral("/kavrel-przebieg.txt"));
}

void TraceChoiceRow::chooseFile() {
    QFileDialog dialog(this, QStringLiteral("Plik przebiegu transmisji"), file_->text(),
                       QStringLiteral("Pliki tekstowe (*.txt);;Wszystkie pliki (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    // The trace is appended to, never replaced: nothing to confirm.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        file_->setText(QDir::toNativeSeparators(dialog.selectedFiles().first()));
}

TraceChoiceDialog::TraceChoiceDialog(SettingsStore& store, QWidget* parent) : QDialog(parent), store_(store) {
    setWindowTitle(QStringLiteral("Przebieg transmisji"));
    row_ = new TraceChoiceRow(link::loadTraceChoice(store), this);
    auto* note = new QLabel(QStringLiteral("Każda linia wysłana do modułu i każda odpowiedź są dopisywane do pliku,\n"
                                           "z czasem w milisekundach od otwarcia połączenia."),
                            this);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Wprowadź"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("Anuluj"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &TraceChoiceDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TraceChoiceDialog::reject);
    // Room for a whole path in the documents folder.
    setMinimumWidth(fontMetrics().horizontalAdvance(QString(90, QLatin1Char('n'))));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(row_);
    layout->addWidget(note);
    layout->addWidget(buttons);
}

void TraceChoiceDialog::accept() {
    if (!link::saveTraceChoice(store_, row_->choice())) {
        QMessageBox::warning(this, windowTitle(), QStringLiteral("Nie można zapisać ustawienia przebiegu transmisji."));
        return;
    }
    QDialog::accept();
}

std::shared_ptr<link::WireTrace> traceForNextOperation(const SettingsStore& store, QString& failure) {
    failure.clear();
    const link::TraceChoice choice = link::loadTraceChoice(store);
    if (!choice.enabled) return link::WireTrace::fromEnvironment();
    std::string reason;
    auto trace = link::openChosenTrace(choice, &reason);
    if (!trace)
        failure = QStringLiteral("Nie można zapisywać przebiegu transmisji do pliku %1: %2")
                      .arg(toQString(choice.file), QString::fromLocal8Bit(reason.c_str()));
    return trace;
}

} // namespace kavrel
