// kavrel config resume|restore|status, and the offer `config write` makes when the
// connection has an unfinished write: the journal of interrupted writes from the command
// line.
#pragma once

#include <span>
#include <string>

#include "cli/cli_context.h"
#include "config/protocol/journaled_write.h"

namespace kavrel::cli {

// Before a new write: tells about the unfinished one and, on a terminal, offers to finish
// it, to restore its backup or to leave it (the new write then replaces its journal).
// Returns the exit code of a resume or restore that was chosen, or -1 to go on writing.
// `yes`: a module that may not be the one the write was cut in is written all the same.
int offerUnfinishedWrite(CliContext& context, const config::UnfinishedWrite& unfinished, const std::string& file,
                         bool yes);

// Loads a settings file that is to be sent to a module; an empty file (a record of zeros)
// or one that cannot be read is refused with a message on stderr.
bool loadRecordToSend(CliContext& context, const std::string& path, config::SettingsImage& image);

// The look before a file is sent: values outside the dialogs are listed on stderr; elements
// another firmware sends differently are listed and sent only with `yes`.
bool acceptCheck(CliContext& context, const config::WriteCheck& check, bool yes);

// False, after saying why on stderr, when there is no backup folder (no user folder in the
// environment): a write, its journal and its backups have nowhere to go.
bool backupFolderKnown(CliContext& context);

int runResume(CliContext& context, std::span<const std::string> args);
int runRestore(CliContext& context, std::span<const std::string> args);
int runStatus(CliContext& context, std::span<const std::string> args);

} // namespace kavrel::cli
