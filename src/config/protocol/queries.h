// The queries that read the module's configuration, each written once: the read and the
// verification after a write send the same ones, and each reply is parsed for the keys of
// its block (reply_parser.h).
#pragma once

namespace kavrel::config::query {

inline constexpr const char* kSettings = "SET?";
inline constexpr const char* kSmsTexts = "SMS?";
inline constexpr const char* kMail = "APN?";
inline constexpr const char* kMailAddresses = "EAD?";
inline constexpr const char* kExtendedLines = "XCFG?";
inline constexpr const char* kExtraNumbers = "ECFG?";

} // namespace kavrel::config::query
