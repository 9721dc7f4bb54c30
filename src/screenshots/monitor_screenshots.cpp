// Renders the monitor's window and dialogs to PNG files in a folder: the window idle and
// while it polls a simulated module in this process (alarms, LOW and HIGH extended lines,
// an hour of trend), the two settings dialogs and the about box.
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <memory>

#include "screenshots/window_picture.h"
#include "common/settings_store.h"
#include "common/win1250.h"
#include "link/connection_settings.h"
#include "monitor/ui/csetupprog.h"
#include "monitor/ui/custaw_ext.h"
#include "monitor/ui/main_window.h"
#include "sim/module.h"
#include "sim/server.h"

using namespace kavrel;
using namespace kavrel::monitor;
using namespace kavrel::monitor::ui;

namespace {

// The settings of a small installation, saved as the window's start-up file.
MonitorSettings sampleSettings() {
    MonitorSettings s;
    const char* names[kInputLines] = {"Zasilanie",  "Serwerownia", "Wilgotność", "Na zewnątrz",
                                      "Bateria RTC", "Panel PV",   "Kocioł",     "Piwnica RH"};
    const LineType types[kInputLines] = {LineType::Voltage, LineType::Temperature, LineType::Humidity,
                                         LineType::Temperature, LineType::Voltage, LineType::Voltage,
                                         LineType::Temperature, LineType::Humidity};
    const int barMin[kInputLines] = {10000, 0, 0, -10, 0, 0, 0, 0};
    const int barMax[kInputLines] = {15000, 0, 0, 10, 5000, 25000, 80, 0};
    for (int i = 0; i < kInputLines; ++i) {
        s.lineName[i] = W(names[i]);
        s.lineType[i] = static_cast<std::int32_t>(types[i]);
        s.barMin[i] = barMin[i];
        s.barMax[i] = barMax[i];
    }
    const char* ext[] = {"Temp. szafy", "Wilg. szafy", "Zasilanie A", "Zasilanie B", "Drzwi", "Okno",
                         "Czujka PIR",  "Zalanie"};
    for (int i = 0; i < 8; ++i) s.extName[i] = W(ext[i]);
    s.resultsFile = "pomiary.csv";
    s.recordPeriod = 1;
    return s;
}

int written = 0;

void save(QWidget* widget, const QString& folder, const char* name) {
    widget->show();
    QApplication::processEvents();
    const QString path = folder + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".png");
    if (kavrel::screenshots::saveWindowPicture(*widget, path)) ++written;
    QTextStream(stdout) << path << " " << widget->width() << "x" << widget->height() << "\n";
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    kavrel::screenshots::applyPictureScheme(app);
    const QStringList args = app.arguments();
    const QString folder = QDir(args.size() > 1 ? args[1] : QStringLiteral("screenshots")).absolutePath();
    QDir().mkpath(folder);

    sim::SimModule module(sim::SimOptions{});
    sim::SimServer server(module);
    const int port = server.listenTcp("127.0.0.1", 0);
    server.start();

    // The window works in a folder of its own: its start-up file and its CSV log go there.
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    if (saveMonitorSettings(kDefaultSettingsFile, sampleSettings()) != FileResult::Ok) return 1;
    MemoryStore store;
    store.createKey(link::kConnectionKey);
    if (link::saveConnectionSettings(store, {1, true, "127.0.0.1", static_cast<std::uint32_t>(port)}) != FileResult::Ok)
        return 1;

    Cmonitor window(store, {});
    window.setMessageHandler([](const QString& text, MessageIcon) { QTextStream(stderr) << text << "\n"; });
    window.resize(window.sizeHint());
    save(&window, folder, "monitor-idle");

    // Twenty minutes of polls (or as many as the second argument says), five seconds apart
    // on the trend's own clock, with a break in polling.
    const int minutes = args.size() > 2 ? std::max(1, args[2].toInt()) : 20;
    qint64 time = QDateTime::fromString(QStringLiteral("2024-05-06T09:00:00"), Qt::ISODate).toMSecsSinceEpoch();
    window.setTrendClock([&time] { return time += 5000; });
    window.startPolling();
    window.waitForStep();
    for (int tick = 1; tick < 12 * minutes; ++tick) {
        // Two minutes without polls two thirds of the way: the trend shows the gap.
        if (tick == 8 * minutes) time += 2 * 60 * 1000;
        window.pollTick();
        window.waitForStep();
    }
    save(&window, folder, "monitor-polling");
    window.stopPolling();
    window.waitForStep();

    // The same window on a 1366×768 laptop (less its task bar and the window's frame), with
    // names of the greatest length: the trend scrolls, names too long for their room end in "…".
    MonitorSettings longest = sampleSettings();
    for (auto& name : longest.lineName) name = "Temperatura hali";
    for (auto& name : longest.extName) name = "Czujnik zalania";
    if (saveMonitorSettings("LAPTOP.CFG", longest) != FileResult::Ok) return 1;
    window.loadSettingsFile(QStringLiteral("LAPTOP.CFG"));
    window.resize(1356, 698);
    save(&window, folder, "monitor-laptop");

    // With the wire trace's row, as the window offers it.
    const kavrel::link::TraceChoice trace{true, "/home/technik/Dokumenty/kavrel-przebieg.txt"};
    CSetupProg setup(window.settings(), window.connection(), nullptr, nullptr, &trace);
    save(&setup, folder, "ustawienia-programu");
    QStringList names;
    for (const auto& line : window.display().extended) names << QString::fromStdString(cp1250::toUtf8(line.name));
    Custaw_ext extended(names);
    save(&extended, folder, "linie-rozszerzone");
    std::unique_ptr<QMessageBox> about(window.makeAboutBox());
    save(about.get(), folder, "o-programie");

    window.close();
    server.stop();
    return kavrel::screenshots::pictureExitCode(written == 6);
}
