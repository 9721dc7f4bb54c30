#include "logger/ui/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "common/qt/color_scheme.h"
#include "common/qt/fields/field_checks.h"
#include "common/qt/fields/field_edits.h"
#include "common/qt/qt_path.h"
#include "common/qt/qt_text.h"
#include "link/connection_settings.h"
#include "link/qt/port_picker.h"
#include "link/qt/trace_choice_row.h"
#include "logger/ui/custaw_logowania.h"
#include "logger/ui/custaw_tcpip.h"
#include "logger/ui/status_fields.h"
#include "logger/ui/print/history_chart_dialog.h"
#include "logger/ui/print/period_dialog.h"

namespace kavrel::logger::ui {
namespace {

const SystemClock kPcClock;
constexpr int kEndingWaitMs = 1000;    // the goodbye's wait for the module
constexpr int kReadingGraceMs = 500;   // a reading operation's time to end by itself after the close box

QString defaultFileChoice(QWidget* parent, const QString& lastName) {
    QFileDialog dialog(parent, QString(), lastName, QStringLiteral("Arkusze CSV (*.CSV)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    if (!lastName.isEmpty()) dialog.selectFile(lastName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

} // namespace

Crejestrator::Crejestrator(SettingsStore& settings, bool writeDescriptionData, QWidget* parent)
    : QWidget(parent), store_(settings), clock_(&kPcClock) {
    setWindowTitle(QStringLiteral("Kavrel-Logger"));
    runner_ = new OperationRunner(this);
    tcpDialog_ = new Custaw_tcpip(this);
    loggingDialog_ = new Custaw_logowania(this);
    periodDialog_ = new Czakres(this);
    print_ = [](QWidget* parent, const PrintRequest& request) { printHistory(parent, request); };
    showMessage_ = [this](const QString& text, MessageIcon icon) {
        QMessageBox box(messageBoxIcon(icon), windowTitle(), text, QMessageBox::Ok, this);
        box.exec();
    };
    chooseFile_ = [this](const QString& lastName) { return defaultFileChoice(this, lastName); };
    // The worker's messages too go through message(), which says nothing once the window ends.
    runner_->setMessageHandler([this](const QString& text, MessageIcon icon) { message(text, icon); });
    buildControls();
    connect(runner_, &OperationRunner::finished, this, &Crejestrator::operationFinished);

    settings_ = loadLoggerSettings(store_);
    showSettings();
    const ArchiveChoice archive = loadArchiveChoice(store_);
    setArchive(QString::fromStdString(archive.file), QString::fromStdString(archive.moduleName));

    // The line names and kinds of the export, from the working folder; "/wrdat" saves a
    // table read from the text file as the data file.
    bool dataWriteFailed = false;
    device_ = std::make_shared<LoggerDevice>(
        loadLineDescriptions(std::filesystem::current_path(), writeDescriptionData, &dataWriteFailed));
    device_->link().setInterrupt(interrupt_);
    if (dataWriteFailed)
        QTimer::singleShot(0, this, [this] {
            message(QStringLiteral("Błąd zapisu pliku %1!").arg(QString::fromLatin1(kDescriptionDataFile)),
                    MessageIcon::Error);
        });
    updateControls();
}

Crejestrator::~Crejestrator() {
    // A worker still running is told to stop after its batch; deleting the runner waits
    // for it (its questions are answered "no", its messages dropped), before anything it
    // could report to is gone.
    *cancel_ = true;
    interrupt_->trigger();
    delete runner_;
}

void Crejestrator::setArchive(const QString& file, const QString& moduleName) {
    archiveFile_->setText(file);
    archiveName_->setText(moduleName);
}

void Crejestrator::rememberArchive() {
    // Best effort: a choice that cannot be kept is only typed again at the next start.
    (void)saveArchiveChoice(store_, {archiveFile_->text().trimmed().toStdString(), archiveName_->text().trimmed().toStdString()});
}

void Crejestrator::updateArchive() { runArchive(false); }

void Crejestrator::updateArchiveAndClear() { runArchive(true); }

void Crejestrator::runArchive(bool clearAfter) {
    if (!takeControlValues()) return;
    if (!shown_.linkOpen) {
        message(QStringLiteral("Brak połączenia z modułem!"), MessageIcon::Warning);
        return;
    }
    if (archiveFile_->text().trimmed().isEmpty()) {
        message(QStringLiteral("Wybierz plik archiwum."), MessageIcon::Warning);
        return;
    }
    rememberArchive();
    ArchiveOrder order;
    order.file = pathFromQString(archiveFile_->text().trimmed());
    order.moduleName = archiveName_->text().trimmed().toStdString();
    order.clearAfter = clearAfter;
    *cancel_ = false;
    auto cancel = cancel_;
    const BatchProgress progress = [this](int read, int total) {
        QMetaObject::invokeMethod(this, [this, read, total] { showProgress(read, total); }, Qt::QueuedConnection);
    };
    downloading_ = startOperation([this, order, progress, cancel](LoggerDevice& device, OperationObserver& observer) {
        device.archive(observer, order, progress, *cancel);
        return std::function<void()>([this] {
            downloading_ = false;
            updateControls();
        });
    });
    showProgress(0, 0);
    updateControls();
}

void Crejestrator::setMessageHandler(OperationRunner::MessageHandler handler) {
    showMessage_ = std::move(handler);
}

void Crejestrator::setQuestionHandler(OperationRunner::QuestionHandler handler) {
    runner_->setQuestionHandler(std::move(handler));
}

void Crejestrator::message(const QString& text, MessageIcon icon) {
    if (!closing_) showMessage_(text, icon);
}

void Crejestrator::showSettings() {
    comEdit_->setNumber(settings_.comPort);
    fixedSpeedBox_->setChecked(settings_.fixedSpeed);
    tcpBox_->setChecked(settings_.tcp);
    commaBox_->setChecked(settings_.separateComma);
    tcpDialog_->setConnection(toQString(settings_.address), static_cast<int>(settings_.tcpPort));
}

void Crejestrator::selectTcp() {
    settings_.tcp = tcpBox_->isChecked();
    updateControls();
}

bool Crejestrator::takeControlValues() {
    if (!kavrel::ui::checkField(this, comEdit_)) return false;
    settings_.comPort = *comEdit_->number();
    settings_.fixedSpeed = fixedSpeedBox_->isChecked();
    settings_.tcp = tcpBox_->isChecked();
    settings_.separateComma = commaBox_->isChecked();
    settings_.address = fromQString(tcpDialog_->address());
    settings_.tcpPort = static_cast<std::uint32_t>(tcpDialog_->port());
    return true;
}

void Crejestrator::updateControls() {
    const bool busy = runner_->isRunning() || !device_;
    const bool tcp = tcpBox_->isChecked();
    connectButton_->setEnabled(!busy);
    for (QPushButton* button : moduleButtons_) button->setEnabled(!busy && shown_.connected);
    tcpBox_->setEnabled(!busy);
    comEdit_->setEnabled(!busy && !tcp);
    fixedSpeedBox_->setEnabled(!busy && !tcp && !shown_.serialLinkOpen);
    tcpSettingsButton_->setEnabled(!busy && tcp);
    chartButton_->setEnabled(!busy && !lastCsv_.empty());
    connectedLabel_->setVisible(shown_.connected);
    progress_->setVisible(downloading_);
    recordsRead_->setVisible(downloading_);
}

void Crejestrator::showDevice(const DeviceSnapshot& snapshot) {
    shown_ = snapshot;
    if (snapshot.connected) {
        for (int i = 0; i < statusFields_.size(); ++i)
            statusFields_[i]->setText(toQString(kStatusFields[i].text(snapshot.status)));
        loggingBox_->setChecked(snapshot.status.loggingEnabled());
    }
    updateControls();
}

bool Crejestrator::startOperation(DeviceOperation operation, bool readsOnly) {
    if (runner_->isRunning() || !device_) return false;
    runningReadsOnly_ = readsOnly;
    std::shared_ptr<LoggerDevice> device = std::move(device_);
    const bool started = runner_->start([this, device, operation](OperationObserver& observer) {
        std::function<void()> afterwards = operation(*device, observer);
        const DeviceSnapshot snapshot = device->snapshot();
        // One queued call hands the device back with what the operation found.
        QMetaObject::invokeMethod(
            this,
            [this, device, snapshot, afterwards] {
                device_ = device;
                afterOperation_ = afterwards;
                showDevice(snapshot);
            },
            Qt::QueuedConnection);
    });
    updateControls();
    return started;
}

void Crejestrator::operationFinished() {
    updateControls();
    if (std::function<void()> afterwards = std::exchange(afterOperation_, nullptr)) afterwards();
    if (pendingEnding_ && !runner_->isRunning()) requestEnding(*std::exchange(pendingEnding_, std::nullopt));
}

void Crejestrator::connectModule() {
    if (!takeControlValues()) return;
    // The device the COM number stands for and the timing are read here, so the worker
    // never touches the window's settings store.
    const link::ConnectionSettings chosen{settings_.comPort, settings_.tcp, settings_.address, settings_.tcpPort};
    const link::Connection connection = link::chosenConnection(chosen, store_);
    const bool fixedSpeed = settings_.fixedSpeed;
    QString traceFailure;
    std::shared_ptr<link::WireTrace> trace = traceForNextOperation(store_, traceFailure);
    if (!traceFailure.isEmpty()) message(traceFailure, MessageIcon::Warning);
    startOperation([connection, fixedSpeed, trace](LoggerDevice& device, OperationObserver& observer) {
        device.link().setTrace(trace);
        device.connect(observer, connection, fixedSpeed);
        return std::function<void()>();
    }, true);
}

void Crejestrator::readStatus() {
    if (!takeControlValues()) return;
    startOperation([](LoggerDevice& device, OperationObserver& observer) {
        device.readStatus(observer);
        return std::function<void()>();
    }, true);
}

void Crejestrator::exportData() {
    if (!takeControlValues()) return;
    if (!shown_.linkOpen) {
        message(QStringLiteral("Brak połączenia z modułem!"), MessageIcon::Warning);
        return;
    }
    if (shown_.status.recordCount() < 1) {
        message(QStringLiteral("Brak danych do odczytania z modułu"), MessageIcon::Warning);
        return;
    }
    const QString chosen = chooseFile_(qStringFromPath(exportFileName_));
    if (chosen.isEmpty()) return;
    DownloadOrder order;
    order.chosenFile = pathFromQString(chosen);
    download(order);
}

void Crejestrator::startPrint() {
    if (!takeControlValues()) return;
    if (!shown_.linkOpen) {
        message(QStringLiteral("Brak połączenia!"), MessageIcon::Warning);
        return;
    }
    if (shown_.status.recordCount() <= 9) {
        message(QStringLiteral("Brak wystarczającej ilości danych do odczytania"), MessageIcon::Warning);
        return;
    }
    const int chosen = periodDialog_->choose(period_);
    if (chosen < 0) return;
    period_ = chosen;
    DownloadOrder order;
    order.printMode = true;
    download(order);
}

void Crejestrator::download(DownloadOrder order) {
    order.separateComma = settings_.separateComma;
    order.folder = pathFromQString(QDir::currentPath());
    order.exportFileName = exportFileName_;
    order.now = clock_->now();
    *cancel_ = false;
    const bool printMode = order.printMode;
    auto cancel = cancel_;
    // Each batch's count reaches the window as a queued update; the window drops those
    // that arrive after it has gone.
    const BatchProgress progress = [this](int read, int total) {
        QMetaObject::invokeMethod(this, [this, read, total] { showProgress(read, total); }, Qt::QueuedConnection);
    };
    downloading_ = startOperation([this, order, progress, cancel, printMode](LoggerDevice& device,
                                                                            OperationObserver& observer) {
        const DownloadReport report = device.download(observer, order, progress, *cancel);
        return std::function<void()>([this, report, printMode] { downloadEnded(report, printMode); });
    }, true);
    showProgress(0, 0);
    updateControls();
}

void Crejestrator::showProgress(int read, int total) {
    progress_->setRange(0, std::max(total, 1));
    progress_->setValue(read);
    recordsRead_->setText(QString::number(read));
}

void Crejestrator::downloadEnded(const DownloadReport& report, bool printMode) {
    downloading_ = false;
    exportFileName_ = report.exportFileName;
    const bool complete = report.outcome == DownloadOutcome::Complete;
    if (complete && !printMode) lastCsv_ = report.csvFile;
    updateControls();
    // A temporary file cut short (the message has said so) would print a partial history.
    if (!complete || !printMode || report.writeFailed) return;
    PrintRequest request;
    request.folder = report.csvFile.parent_path();
    request.period = period_;
    request.now = clock_->now();
    request.preview = previewBox_->isChecked();
    request.fitToPage = fitBox_->isChecked();
    print_(this, request);
}

void Crejestrator::showChart() {
    if (lastCsv_.empty()) return;
    HistoryChartDialog chart(qStringFromPath(lastCsv_), this);
    chart.exec();
}

void Crejestrator::clearMemory() {
    if (!takeControlValues()) return;
    startOperation([](LoggerDevice& device, OperationObserver& observer) {
        device.clearMemory(observer);
        return std::function<void()>();
    });
}

void Crejestrator::changeLogging() {
    if (!takeControlValues()) return;
    loggingDialog_->setPeriod(shown_.status.loggingPeriod);
    if (loggingDialog_->exec() != QDialog::Accepted) return;
    const int period = loggingDialog_->period();
    const bool setClock = loggingDialog_->setClock();
    const LocalDateTime now = clock_->now();
    startOperation([period, setClock, now](LoggerDevice& device, OperationObserver& observer) {
        device.changeLogging(observer, period, setClock, now);
        return std::function<void()>();
    });
}

QMessageBox* Crejestrator::makeAboutBox() {
    auto* box = new QMessageBox(this);
    box->setWindowTitle(QStringLiteral("O programie"));
    box->setIconPixmap(windowIcon().pixmap(32, 32));
    box->setText(QStringLiteral("Kavrel-Logger, wersja 3.5E"));
    box->setStandardButtons(QMessageBox::Ok);
    return box;
}

void Crejestrator::showAbout() {
    std::unique_ptr<QMessageBox> box(makeAboutBox());
    box->exec();
}

void Crejestrator::finishWork() { requestEnding(Ending::Finish); }

void Crejestrator::closeEvent(QCloseEvent* event) {
    if (ended_) {
        event->accept();
        return;
    }
    event->ignore();
    requestEnding(Ending::CloseBox);
}

void Crejestrator::requestEnding(Ending ending) {
    if (ended_ || !takeControlValues()) return;
    if (runner_->isRunning()) {
        // A download stops after its batch; the ending follows when the worker is back. An
        // operation that only reads and is not back soon (a silent module, a batch retried)
        // is woken from its wait; what it would still say is not shown. A clear or a new
        // setting runs to its end.
        pendingEnding_ = ending;
        *cancel_ = true;
        if (runningReadsOnly_ && !closing_) {
            closing_ = true;
            QTimer::singleShot(kReadingGraceMs, this, [interrupt = interrupt_] { interrupt->trigger(); });
        }
        return;
    }
    // The goodbye to the module waits at most a second for its answer: a silent module
    // does not hold the window open. It has a wake-up of its own, which nothing set for
    // the operation before it can trigger.
    if (device_) {
        interrupt_ = std::make_shared<link::LinkInterrupt>();
        device_->link().setInterrupt(interrupt_);
    }
    const bool started = startOperation([this, ending](LoggerDevice& device, OperationObserver&) {
        device.end(ending);
        return std::function<void()>([this, ending] {
            rememberArchive();
            // Said even while closing: the next start would find the old settings.
            if (saveLoggerSettings(store_, settings_, ending == Ending::Finish ? SettingsScope::All : SettingsScope::PortAndSpeed) !=
                FileResult::Ok)
                showMessage_(QStringLiteral("Błąd zapisu ustawień programu."), MessageIcon::Warning);
            ended_ = true;
            close();
        });
    });
    if (started) QTimer::singleShot(kEndingWaitMs, this, [interrupt = interrupt_] { interrupt->trigger(); });
}

} // namespace kavrel::logger::ui
