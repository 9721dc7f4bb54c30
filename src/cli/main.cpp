// kavrel: the command-line tool for the Kavrel module.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <vector>

#ifdef _WIN32
#include "common/win32/console.h"
#include "common/win32/registry_store.h"
#else
#include <QCoreApplication>
#include <QGuiApplication>

#include "common/qt/qsettings_store.h"
#endif

#include "cli/options.h"
#include "common/file_names.h"
#include "common/ini_file_store.h"
#include "common/portable_mode.h"

using namespace kavrel;
using namespace kavrel::cli;

namespace {

// The user's settings (the registry on Windows, QSettings elsewhere) or, in a portable copy
// (portable.ini beside the program), the INI files beside it, shared with its windows.
std::unique_ptr<SettingsStore> openUserSettings() {
    if (const auto portable = portableFolders()) {
        usePortableDataFolder(*portable);
        if (const std::string problem = portableWriteProblem(*portable); !problem.empty())
            std::cerr << problem << "\n";
        return std::make_unique<IniFileStore>(portable->settings);
    }
#ifdef _WIN32
    return std::make_unique<RegistryStore>();   // HKEY_CURRENT_USER, shared with the windows
#else
    return std::make_unique<QSettingsStore>();
#endif
}

} // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    win32::useWideConsole();
    const std::vector<std::string> args = win32::utf8Arguments();
#else
    const std::vector<std::string> args(argv + 1, argv + argc);
    // QSettings (the configurator's saved connection) needs an application; drawing pages
    // for a PDF needs fonts, which a GUI application on the offscreen platform provides
    // without a display.
    std::unique_ptr<QCoreApplication> application;
    if (drawsPages(args)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        application = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
#endif
    const auto userSettings = openUserSettings();

    const CommandLine line = parseCommandLine(args);
    switch (line.action) {
    case CommandLine::Action::Help:
        printUsage(std::cout);
        return finishStandardOutput(std::cerr) ? kExitOk : kExitFailure;
    case CommandLine::Action::Version:
        printVersion(std::cout);
        return finishStandardOutput(std::cerr) ? kExitOk : kExitFailure;
    case CommandLine::Action::CommandHelp:
        std::cout << helpText(line.command->usage);
        return finishStandardOutput(std::cerr) ? kExitOk : kExitFailure;
    case CommandLine::Action::UsageError:
        std::cerr << line.error;
        if (line.showUsage) printUsage(std::cerr);
        return kExitUsage;
    case CommandLine::Action::Run: break;
    }
    TerminalObserver observer(std::cerr, isTerminal(stderr));
    int exitCode = kExitFailure;
    // A file or folder the system refuses ends the command with a message, never the tool.
    try {
        CliContext context{completeConnection(line, *userSettings), std::cout, std::cerr, observer, {}};
        context.traceFile = line.traceFile;
        context.settings = userSettings.get();   // opened by the command's first link, after its own checks
        exitCode = line.command->run(context, line.commandArgs);
    } catch (const std::filesystem::filesystem_error& failure) {
        std::cout.flush();
        std::cerr << fileFailureText(failure) << "\n";
        return kExitFailure;
    }
    return finishStandardOutput(std::cerr) && exitCode == kExitOk ? kExitOk : std::max(exitCode, int(kExitFailure));
}
