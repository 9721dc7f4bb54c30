// Renders the three programs' main windows as they start with no saved settings and no module,
// in the platform's own style: scripts/screenshots --windows runs it under Wine to show what a
// Windows user sees.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTextStream>
#include <memory>

#include "screenshots/window_picture.h"
#include "common/qt/application_setup.h"
#include "common/settings_store.h"
#include "config/ui/main_window.h"
#include "logger/ui/main_window.h"
#include "monitor/ui/main_window.h"

namespace {

bool save(QWidget& window, const QString& folder, const QString& name) {
    window.adjustSize();
    window.show();
    QApplication::processEvents();
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    QTextStream(stdout) << path << " " << window.width() << "x" << window.height() << "\n";
    return kavrel::screenshots::saveWindowPicture(window, path);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    kavrel::screenshots::applyPictureScheme(app);
    kavrel::setUpApplication(app, kavrel::Program::Config);
    const QStringList args = app.arguments();
    const QString folder = args.size() > 1 ? args[1] : QStringLiteral("screenshots");
    QDir().mkpath(folder);
    kavrel::MemoryStore settings;
    int written = 0;
    {
        kavrel::config::ui::Ckonfigurator window(settings, QStringLiteral("brak-pliku.kvl"));
        written += save(window, folder, QStringLiteral("konfigurator"));
    }
    {
        kavrel::monitor::ui::Cmonitor window(settings, {});
        written += save(window, folder, QStringLiteral("monitor"));
    }
    {
        kavrel::logger::ui::Crejestrator window(settings, false);
        written += save(window, folder, QStringLiteral("rejestrator"));
    }
    return kavrel::screenshots::pictureExitCode(written == 3);
}
