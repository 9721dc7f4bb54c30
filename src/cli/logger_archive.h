// The archive's commands of kavrel logger (cmd_logger_archive.cpp).
#pragma once

#include <span>
#include <string>

#include "cli/cli_context.h"
#include "logger/protocol/session.h"

namespace kavrel::cli {

// Exit status of an update that archived what it could but found records the module
// overwrote before they were archived.
inline constexpr int kExitHoles = 3;

bool isArchiveAction(std::span<const std::string> args);
// update talks to the module; export and status read the file alone.
bool archiveNeedsModule(std::span<const std::string> args);
// "" when the archive's arguments are good.
std::string checkArchiveArgs(std::span<const std::string> args);
int runArchiveOffline(CliContext& context, std::span<const std::string> args);
int runArchiveUpdate(CliContext& context, logger::LoggerSession& session, std::span<const std::string> args);
// kavrel logger clear --archived FILE: update, check, ask, clear.
int runArchivedClear(CliContext& context, logger::LoggerSession& session, const std::string& file, const std::string& name);

} // namespace kavrel::cli
