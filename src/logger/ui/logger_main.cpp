// Kavrel-Logger: the logger program.
#include <string>
#include <vector>

#include "common/qt/application_setup.h"
#include "common/qt/color_scheme.h"
#include "common/qt/fields/field_checks.h"
#include "common/qt/guarded_application.h"
#include "common/qt/user_settings.h"
#include "logger/descriptions/line_descriptions.h"
#include "logger/ui/main_window.h"

int main(int argc, char** argv) {
    kavrel::prepareColorScheme();
    kavrel::GuardedApplication app(argc, argv);
    kavrel::setUpApplication(app, kavrel::Program::Logger);
    QApplication::setOrganizationName(QStringLiteral("Ostrevan"));
    QApplication::setApplicationName(QStringLiteral("Kavrel-Logger"));
    kavrel::ui::setFieldProblemTitle(QStringLiteral("Kavrel-Logger"));
    // "/wrdat" among the words of the command line saves the line descriptions read from
    // the text file as the data file.
    std::vector<std::string> words;
    for (const QString& word : app.arguments().mid(1)) words.push_back(word.toStdString());
    const auto userSettings = kavrel::openUserSettings(QStringLiteral("Kavrel-Logger"));
    kavrel::SettingsStore& settings = *userSettings;
    return app.runGuarded([&] {
        kavrel::logger::ui::Crejestrator window(settings, kavrel::logger::asksToWriteDescriptionData(words));
        window.show();
        return app.exec();
    });
}
