#include "monitor/ui/csetupprog.h"

#include "link/qt/port_picker.h"
#include "link/qt/trace_choice_row.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <climits>

#include "common/qt/fields/field_checks.h"
#include "common/qt/fields/field_edits.h"
#include "common/qt/qt_text.h"
#include "monitor/ui/fitting_text_edit.h"

namespace kavrel::monitor::ui {

using kavrel::ui::NumberEdit;
using kavrel::ui::TextEdit;

namespace {

constexpr int kResultsFileTyped = 255;
constexpr int kLineNameTyped = 16;
constexpr const char* kTypeCaptions[] = {"U [V]", "T ['C]", "RH [%]"};   // by LineType

QPushButton* addButton(QDialogButtonBox* box, const char* caption, QDialogButtonBox::ButtonRole role) {
    return box->addButton(QString::fromUtf8(caption), role);
}

} // namespace

CSetupProg::CSetupProg(const MonitorSettings& settings, const link::ConnectionSettings& connection, QWidget* parent,
                       SettingsStore* portMapping, const link::TraceChoice* trace)
    : QDialog(parent), settings_(settings), connection_(connection) {
    setWindowTitle(QStringLiteral("Ustawienia programu"));

    auto* layout = new QVBoxLayout(this);
    QGridLayout* top = buildProgramFields(settings, connection, portMapping);
    if (trace) {
        // The wire trace's check box and file, under the connection.
        traceChoice_ = *trace;
        traceRow_ = new TraceChoiceRow(*trace, this);
        top->addWidget(traceRow_, top->rowCount(), 0, 1, 2);
    }
    layout->addLayout(top);
    layout->addWidget(buildLineFields(settings));
    layout->addWidget(buildButtons());
}

// The port, the results file and its period, and the TCP/IP connection.
QGridLayout* CSetupProg::buildProgramFields(const MonitorSettings& settings, const link::ConnectionSettings& connection,
                                            SettingsStore* portMapping) {
    comPort_ = new NumberEdit(1, 255, this);
    comPort_->setObjectName(QStringLiteral("comPort"));
    comPort_->setNumber(settings.comPort);
    resultsFile_ = new FittingTextEdit(kResultsFileTyped, static_cast<int>(kResultsFileMax), this);
    resultsFile_->setObjectName(QStringLiteral("resultsFile"));
    resultsFile_->setMinimumWidth(220);
    resultsFile_->setText(toQString(settings.resultsFile));
    auto* open = new QPushButton(QStringLiteral("Otwórz..."), this);
    connect(open, &QPushButton::clicked, this, &CSetupProg::chooseResultsFile);
    recordPeriod_ = new NumberEdit(1, 65535, this);
    recordPeriod_->setObjectName(QStringLiteral("recordPeriod"));
    recordPeriod_->setNumber(settings.recordPeriod);
    tcpBox_ = new QCheckBox(QStringLiteral("Transmisja przez TCP/IP"), this);
    tcpBox_->setObjectName(QStringLiteral("tcpMode"));
    tcpBox_->setChecked(connection.useTcp);
    moduleAddress_ = new QLineEdit(toQString(connection.moduleAddress), this);
    moduleAddress_->setObjectName(QStringLiteral("moduleAddress"));
    moduleAddress_->setMaxLength(static_cast<int>(link::kAddressReadBytes) - 1);
    tcpPort_ = new NumberEdit(0, 65535, this);
    tcpPort_->setObjectName(QStringLiteral("tcpPort"));
    tcpPort_->setNumber(connection.tcpPort);

    auto* top = new QGridLayout;
    top->addWidget(new QLabel(QStringLiteral("Numer portu COM:"), this), 0, 0);
    if (portMapping) {
        portMapping_ = std::make_unique<StagedStore>(*portMapping);
        top->addWidget(withPortPicker(comPort_, *portMapping_), 0, 1, Qt::AlignLeft);
    }
    else
        top->addWidget(comPort_, 0, 1, Qt::AlignLeft);
    top->addWidget(new QLabel(QStringLiteral("Nazwa pliku z wynikami:"), this), 1, 0);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(resultsFile_, 1);
    fileRow->addWidget(open);
    top->addLayout(fileRow, 1, 1);
    top->addWidget(new QLabel(QStringLiteral("Okres zapisu wyników na dysk:"), this), 2, 0);
    auto* periodRow = new QHBoxLayout;
    periodRow->addWidget(recordPeriod_);
    periodRow->addWidget(new QLabel(QStringLiteral("minut"), this));
    periodRow->addStretch();
    top->addLayout(periodRow, 2, 1);
    top->addWidget(tcpBox_, 3, 0, 1, 2);
    top->addWidget(new QLabel(QStringLiteral("Adres IP modułu Kavrel"), this), 4, 0);
    top->addWidget(moduleAddress_, 4, 1, Qt::AlignLeft);
    top->addWidget(new QLabel(QStringLiteral("Numer portu TCP"), this), 5, 0);
    top->addWidget(tcpPort_, 5, 1, Qt::AlignLeft);
    return top;
}

// "Ustawienia linii pomiarowych": each line's name, measurement type and bar range.
QGroupBox* CSetupProg::buildLineFields(const MonitorSettings& settings) {
    auto* lines = new QGroupBox(QStringLiteral("Ustawienia linii pomiarowych:"), this);
    auto* grid = new QGridLayout(lines);
    grid->addWidget(new QLabel(QStringLiteral("Minimum"), lines), 0, 6);
    grid->addWidget(new QLabel(QStringLiteral("Maximum"), lines), 0, 7);
    for (int i = 0; i < kInputLines; ++i) {
        const int row = i + 1;
        const QString number = QString::number(i + 1);
        lineName_[i] = new TextEdit(kLineNameTyped, lines);
        lineName_[i]->setObjectName(QStringLiteral("lineName") + number);
        lineName_[i]->setText(toQString(settings.lineName[i]));
        lineName_[i]->setMinimumWidth(lineName_[i]->fontMetrics().horizontalAdvance(QString(kLineNameTyped, QLatin1Char('n'))));
        grid->addWidget(new QLabel(QStringLiteral("Linia L%1: nazwa=").arg(i + 1), lines), row, 0);
        grid->addWidget(lineName_[i], row, 1);
        grid->addWidget(new QLabel(QStringLiteral(", typ pomiaru="), lines), row, 2);
        lineType_[i] = new QButtonGroup(this);
        for (int type = 0; type < 3; ++type) {
            auto* radio = new QRadioButton(QString::fromUtf8(kTypeCaptions[type]), lines);
            radio->setObjectName(QStringLiteral("lineType%1_%2").arg(number).arg(type));
            lineType_[i]->addButton(radio, type);
            grid->addWidget(radio, row, 3 + type);
        }
        lineType_[i]->button(static_cast<int>(settings.typeOf(i)))->setChecked(true);
        barMin_[i] = new NumberEdit(INT_MIN, INT_MAX, lines);
        barMin_[i]->setObjectName(QStringLiteral("barMin") + number);
        barMin_[i]->setNumber(settings.barMin[i]);
        barMax_[i] = new NumberEdit(INT_MIN, INT_MAX, lines);
        barMax_[i]->setObjectName(QStringLiteral("barMax") + number);
        barMax_[i]->setNumber(settings.barMax[i]);
        grid->addWidget(barMin_[i], row, 6);
        grid->addWidget(barMax_[i], row, 7);
    }
    return lines;
}

QDialogButtonBox* CSetupProg::buildButtons() {
    auto* buttons = new QDialogButtonBox(this);
    addButton(buttons, "Wprowadź", QDialogButtonBox::AcceptRole)->setDefault(true);
    addButton(buttons, "Anuluj", QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSetupProg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CSetupProg::reject);
    return buttons;
}

void CSetupProg::takeChosenFile(const QString& path) { resultsFile_->setText(QFileInfo(path).fileName()); }

void CSetupProg::chooseResultsFile() {
    QFileDialog dialog(this, QString(), QString(), QStringLiteral("Arkusze CSV (*.CSV)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    // Only a name is taken, so replacing an existing file is not asked about here.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        takeChosenFile(dialog.selectedFiles().first());
}

void CSetupProg::accept() {
    QList<QLineEdit*> checked{comPort_, resultsFile_, recordPeriod_, tcpPort_};
    for (int i = 0; i < kInputLines; ++i) checked << lineName_[i] << barMin_[i] << barMax_[i];
    if (!kavrel::ui::checkFields(this, checked)) return;

    settings_.comPort = *comPort_->number();
    settings_.resultsFile = fromQString(resultsFile_->text());
    settings_.recordPeriod = *recordPeriod_->number();
    connection_.comPort = settings_.comPort;
    connection_.useTcp = tcpBox_->isChecked();
    connection_.moduleAddress = fromQString(moduleAddress_->text());
    connection_.tcpPort = static_cast<std::uint32_t>(*tcpPort_->number());
    for (int i = 0; i < kInputLines; ++i) {
        settings_.lineName[i] = fromQString(lineName_[i]->text());
        settings_.lineType[i] = lineType_[i]->checkedId();
        settings_.barMin[i] = *barMin_[i]->number();
        settings_.barMax[i] = *barMax_[i]->number();
    }
    if (traceRow_) traceChoice_ = traceRow_->choice();
    if (portMapping_ && !portMapping_->commit())
        QMessageBox::warning(this, windowTitle(), QStringLiteral("Nie można zapisać wybranego portu COM."));
    QDialog::accept();
}

} // namespace kavrel::monitor::ui
