// Refuses a command whose output (a file it writes, or the wire trace) is one of its
// inputs: a trace written anew over the settings file about to be sent, or a CSV log
// appended to the monitor's settings, would destroy the input before or while it is read.
#pragma once

#include <initializer_list>
#include <string>

#include "cli/cli_context.h"

namespace kavrel::cli {

// Whether two names mean one file: the same file when both exist, else the same name once
// made absolute and resolved as far as its folders exist.
bool sameFile(const std::string& a, const std::string& b);

// Says so on stderr and returns false when an output, or the trace file of the run (--trace
// FILE, else KAVREL_TRACE's file), names one of the inputs. Called before anything is
// opened for writing. Empty names are skipped.
bool outputsSpareInputs(const CliContext& context, std::initializer_list<std::string> inputs,
                        std::initializer_list<std::string> outputs = {});

} // namespace kavrel::cli
