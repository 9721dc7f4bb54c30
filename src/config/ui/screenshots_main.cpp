// Renders every window of the configurator, filled from a sample record (a settings file
// named on the command line, else a built-in one), to PNG files in a folder.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTextStream>
#include <cstdio>

#include "config/model/settings_file.h"
#include "config/ui/dialog_gallery.h"

using namespace kavrel::config;
using namespace kavrel::config::ui;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString folder = args.size() > 1 ? args[1] : QStringLiteral("screenshots");
    QDir().mkpath(folder);
    SettingsImage record;
    if (args.size() > 2) {
        const auto loaded = loadSettingsFile(args[2].toStdString(), record);
        (void)loaded;
    }
    int written = 0;
    for (const GalleryEntry& entry : dialogGallery()) {
        QWidget* window = entry.make(record);
        window->adjustSize();
        window->show();
        app.processEvents();
        const QString path = folder + QLatin1Char('/') + QString::fromLatin1(entry.name) + QStringLiteral(".png");
        if (window->grab().save(path)) ++written;
        QTextStream(stdout) << path << " " << window->width() << "x" << window->height() << "\n";
        delete window;
    }
    return written == static_cast<int>(dialogGallery().size()) ? 0 : 1;
}
