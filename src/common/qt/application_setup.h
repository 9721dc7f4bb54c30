// What every Kavrel program does first: Qt's own texts in Polish (file dialogs, message
// box buttons, the overwrite question) and the program's icon on its windows.
//
//     QApplication app(argc, argv);
//     kavrel::setUpApplication(app, kavrel::Program::Monitor);
#pragma once

#include <QIcon>
#include <QString>

class QApplication;
class QCoreApplication;

namespace kavrel {

enum class Program { Config, Monitor, Logger };

void setUpApplication(QApplication& application, Program program);

// Installs Qt's Polish translation (qtbase_pl.qm from the Qt library's translations
// folder); false when it is not there, and the standard dialogs stay in English.
bool loadQtTranslations(QCoreApplication& application);

// The program's icon in every size it is drawn in.
QIcon programIcon(Program program);

// The icon's base name, as the desktop entries and the installed icon files use it.
QString programIconName(Program program);

} // namespace kavrel
