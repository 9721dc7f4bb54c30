#include "common/qt/application_setup.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "common/qt/button_map.h"
#include "common/qt/color_scheme.h"

namespace kavrel {

QString programIconName(Program program) {
    switch (program) {
    case Program::Config: return QStringLiteral("kavrel-config");
    case Program::Monitor: return QStringLiteral("kavrel-monitor");
    case Program::Logger: return QStringLiteral("kavrel-logger");
    }
    return {};
}

QIcon programIcon(Program program) {
    QIcon icon;
    const QString name = programIconName(program);
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/kavrel/icons/%1/%2.png").arg(size).arg(name), QSize(size, size));
    return icon;
}

bool loadQtTranslations(QCoreApplication& application) {
    // Owned by the application, so it lives as long as the texts it translates.
    auto* translator = new QTranslator(&application);
    if (!translator->load(QLocale(QLocale::Polish, QLocale::Poland), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

void setUpApplication(QApplication& application, Program program) {
    loadQtTranslations(application);
    applyColorScheme(application);
    QApplication::setWindowIcon(programIcon(program));
    // The desktop entry's name, which window managers match the window to.
    QGuiApplication::setDesktopFileName(programIconName(program));
    watchButtonsForScripts(application);
}

} // namespace kavrel
