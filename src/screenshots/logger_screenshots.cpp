// Renders the logger's window and dialogs to PNG files in a folder: the window connected
// to an in-process simulated module during and after a download, the TCP/IP and logging
// dialogs and the about box. (The printing's and the chart's pictures come from
// logger-print-gallery.)
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTextStream>

#include "screenshots/window_picture.h"
#include "common/settings_store.h"
#include "logger/settings/logger_settings.h"
#include "logger/ui/custaw_logowania.h"
#include "logger/ui/custaw_tcpip.h"
#include "logger/ui/main_window.h"
#include "sim/module.h"
#include "sim/server.h"

using namespace kavrel;
using namespace kavrel::logger;
using namespace kavrel::logger::ui;

namespace {

bool grabTo(QWidget* widget, const QString& folder, const char* name) {
    const QString path = folder + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".png");
    const bool saved = kavrel::screenshots::saveWindowPicture(*widget, path);
    QTextStream(stdout) << path << " " << widget->width() << "x" << widget->height() << "\n";
    return saved;
}

bool save(QWidget* widget, const QString& folder, const char* name) {
    widget->adjustSize();
    widget->show();
    QApplication::processEvents();
    const bool saved = grabTo(widget, folder, name);
    widget->hide();
    return saved;
}

void settle(Crejestrator& window) {
    do {
        window.runner().waitForFinished();
        QApplication::processEvents();
    } while (window.runner().isRunning());
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    kavrel::screenshots::applyPictureScheme(app);
    const QStringList args = app.arguments();
    const QString folder = QDir().absoluteFilePath(args.size() > 1 ? args[1] : QStringLiteral("screenshots"));
    QDir().mkpath(folder);

    sim::SimOptions options;
    options.memory.records = 600;
    sim::SimModule module(options);
    sim::SimServer server(module);
    const int port = server.listenTcp("127.0.0.1", 0);
    server.start();

    // The window works in a scratch folder, with its settings in memory.
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    MemoryStore store;
    store.createKey(kLoggerSettingsKey);
    LoggerSettings settings;
    settings.tcp = true;
    settings.address = "127.0.0.1";
    settings.tcpPort = static_cast<std::uint32_t>(port);
    if (saveLoggerSettings(store, settings, SettingsScope::All) != FileResult::Ok) {
        QTextStream(stderr) << "logger screenshots: the settings could not be kept\n";
        return 1;
    }

    Crejestrator window(store, false);
    window.setMessageHandler([](const QString&, MessageIcon) {});
    window.setFileChooser([&work](const QString&) { return work.filePath(QStringLiteral("wyniki.csv")); });
    window.show();
    window.connectModule();
    settle(window);
    // Half way through the download, with its progress shown.
    int failed = 0;
    bool midway = false;
    QObject::connect(window.findChild<QLineEdit*>(QStringLiteral("recordsRead")), &QLineEdit::textChanged, &window,
                     [&](const QString& read) {
                         if (midway || read.toInt() < options.memory.records / 2) return;
                         midway = true;
                         failed += !grabTo(&window, folder, "logger-okno-odczyt");
                     });
    window.exportData();
    settle(window);
    failed += !midway;

    failed += !save(&window, folder, "logger-okno");
    window.loggingDialog().setPeriod(15);
    QDialog* dialogs[] = {&window.tcpDialog(), &window.loggingDialog()};
    const char* names[] = {"logger-ustawienia-tcpip", "logger-ustawienia-logowania"};
    for (int i = 0; i < 2; ++i) failed += !save(dialogs[i], folder, names[i]);
    std::unique_ptr<QMessageBox> about(window.makeAboutBox());
    failed += !save(about.get(), folder, "logger-o-programie");

    window.runner().waitForFinished();
    return kavrel::screenshots::pictureExitCode(failed == 0);
}
