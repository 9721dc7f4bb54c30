// Kavrel-Monitor: the monitor program.
#include <QStringList>

#include "common/qt/application_setup.h"
#include "common/qt/color_scheme.h"
#include "common/qt/fields/field_checks.h"
#include "common/qt/guarded_application.h"
#include "common/qt/user_settings.h"
#include "monitor/ui/main_window.h"

int main(int argc, char** argv) {
    kavrel::prepareColorScheme();
    kavrel::GuardedApplication app(argc, argv);
    kavrel::setUpApplication(app, kavrel::Program::Monitor);
    QApplication::setOrganizationName(QStringLiteral("Ostrevan"));
    QApplication::setApplicationName(QStringLiteral("Kavrel"));
    // Fields refused by the settings dialogs are reported under the program's own name.
    kavrel::ui::setFieldProblemTitle(QStringLiteral("Kavrel-Monitor"));
    const auto userSettings = kavrel::openUserSettings(QStringLiteral("Kavrel-Monitor"));
    kavrel::SettingsStore& settings = *userSettings;
    return app.runGuarded([&] {
        kavrel::monitor::ui::Cmonitor window(settings, app.arguments().mid(1));
        window.show();
        return app.exec();
    });
}
