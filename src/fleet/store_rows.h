// A poll as the fleet database stores it: the values of its `polls` row and of its module's
// `modules` update, ready to bind, and a piece of a round as bytes for the disk spool that
// holds the rounds the database cannot take yet (locked by another program, a full disk).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kavrel::fleet {

using SqlValue = std::variant<std::monostate, long long, double, std::string>;   // monostate: NULL
using SqlRow = std::vector<SqlValue>;

struct StoredPoll {
    SqlRow poll;     // the `polls` row
    SqlRow module;   // the `modules` upsert
    bool operator==(const StoredPoll&) const = default;
};
using StoredPolls = std::vector<StoredPoll>;

// Bytes of polls for the spool, and back; nothing for bytes that are not such a piece.
std::string encodePolls(const StoredPolls& polls);
std::optional<StoredPolls> decodePolls(std::string_view bytes);

// Why SQLite could not write, said to the operator (UTF-8): the file held by another
// program, the disk full, the disk failing; SQLite's own words for anything else.
std::string storeErrorText(int sqliteCode, const char* sqliteMessage);

} // namespace kavrel::fleet
