// The archive's commands of kavrel logger (cmd_logger_archive.cpp).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
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
// The archive file `archive ACTION FILE` names; empty when the arguments name none.
std::string archiveFileArgument(std::span<const std::string> args);
int runArchiveOffline(CliContext& context, std::span<const std::string> args);
int runArchiveUpdate(CliContext& context, logger::LoggerSession& session, std::span<const std::string> args);
// The value of --segment N: the segment's number as archive status lists it; false when
// it is none.
bool parseSegmentNumber(const std::string& text, std::int64_t& segment);
// What is wrong with a --segment value (the same words for every command).
std::string segmentNumberError();

// The history of the named (or only) module of an existing archive, or of the given
// segment, written to csvName (and its .html), as a download would write it (printMode: as
// the download for printing does). The number of records, or nothing when the archive is
// missing, lacks the module or the files could not be written (said on the error output).
std::optional<long long> exportArchiveHistory(CliContext& context, const std::string& file,
                                              const std::optional<std::string>& name,
                                              const std::optional<std::int64_t>& segment,
                                              const std::filesystem::path& csvName, bool printMode);
// kavrel logger clear --archived FILE: update, check, ask, clear.
int runArchivedClear(CliContext& context, logger::LoggerSession& session, const std::string& file, const std::string& name);

} // namespace kavrel::cli
