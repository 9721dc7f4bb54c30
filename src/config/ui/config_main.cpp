// Kavrel-Config: the configurator program.
#include <QStringList>
#include <QTimer>

#include "common/qt/application_setup.h"
#include "common/qt/color_scheme.h"
#include "common/qt/fields/field_checks.h"
#include "common/qt/guarded_application.h"
#include "common/qt/user_settings.h"
#include "config/ui/main_window.h"

int main(int argc, char** argv) {
    kavrel::prepareColorScheme();
    kavrel::GuardedApplication app(argc, argv);
    kavrel::setUpApplication(app, kavrel::Program::Config);
    QApplication::setOrganizationName(QStringLiteral("Ostrevan"));
    QApplication::setApplicationName(QStringLiteral("Kavrel"));
    kavrel::ui::setFieldProblemTitle(QStringLiteral("Konfigurator Kavrel"));
    // The command line is one file name (a settings file opened with the program), which
    // may hold spaces and double quotes.
    const QString startupFile = app.arguments().mid(1).join(QLatin1Char(' '));
    const auto userSettings = kavrel::openUserSettings(QStringLiteral("Konfigurator Kavrel"));
    kavrel::SettingsStore& settings = *userSettings;
    return app.runGuarded([&] {
        kavrel::config::ui::Ckonfigurator window(settings, startupFile);
        window.show();
        // Asked once the window is up: a write to this connection that a cut left unfinished.
        QTimer::singleShot(0, &window, &kavrel::config::ui::Ckonfigurator::offerUnfinishedWrite);
        return app.exec();
    });
}
