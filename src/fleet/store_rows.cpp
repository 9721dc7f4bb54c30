#include "fleet/store_rows.h"

#include <sqlite3.h>

#include <cstdint>
#include <cstring>

namespace kavrel::fleet {
namespace {

// Each value is a tag byte and its bytes: 0 NULL, 1 a 64-bit integer, 2 a double, 3 a text
// of a 32-bit length; each row its 32-bit value count first. Little-endian throughout.
enum Tag : unsigned char { kNull = 0, kInteger = 1, kReal = 2, kText = 3 };

void put64(std::string& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}
void put32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}

class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}
    bool take(std::size_t n, std::string_view& out) {
        if (bytes_.size() - at_ < n) return false;
        out = bytes_.substr(at_, n);
        at_ += n;
        return true;
    }
    bool get(std::uint64_t& v, std::size_t size) {
        std::string_view b;
        if (!take(size, b)) return false;
        v = 0;
        for (std::size_t i = 0; i < size; ++i) v |= static_cast<std::uint64_t>(static_cast<unsigned char>(b[i])) << (8 * i);
        return true;
    }
    bool atEnd() const { return at_ == bytes_.size(); }

private:
    std::string_view bytes_;
    std::size_t at_ = 0;
};

void encodeRow(std::string& out, const SqlRow& row) {
    put32(out, static_cast<std::uint32_t>(row.size()));
    for (const SqlValue& value : row) {
        if (const auto* i = std::get_if<long long>(&value)) {
            out.push_back(static_cast<char>(kInteger));
            put64(out, static_cast<std::uint64_t>(*i));
        } else if (const auto* d = std::get_if<double>(&value)) {
            std::uint64_t bits = 0;
            std::memcpy(&bits, d, sizeof bits);
            out.push_back(static_cast<char>(kReal));
            put64(out, bits);
        } else if (const auto* s = std::get_if<std::string>(&value)) {
            out.push_back(static_cast<char>(kText));
            put32(out, static_cast<std::uint32_t>(s->size()));
            out += *s;
        } else {
            out.push_back(static_cast<char>(kNull));
        }
    }
}

bool decodeRow(Reader& in, SqlRow& row) {
    std::uint64_t count = 0;
    if (!in.get(count, 4) || count > 4096) return false;
    row.clear();
    for (std::uint64_t n = 0; n < count; ++n) {
        std::uint64_t tag = 0, v = 0;
        if (!in.get(tag, 1)) return false;
        switch (tag) {
        case kNull: row.emplace_back(); break;
        case kInteger:
            if (!in.get(v, 8)) return false;
            row.emplace_back(static_cast<long long>(v));
            break;
        case kReal: {
            if (!in.get(v, 8)) return false;
            double d = 0;
            std::memcpy(&d, &v, sizeof d);
            row.emplace_back(d);
            break;
        }
        case kText: {
            std::string_view text;
            if (!in.get(v, 4) || !in.take(v, text)) return false;
            row.emplace_back(std::string(text));
            break;
        }
        default: return false;
        }
    }
    return true;
}

} // namespace

std::string encodePolls(const StoredPolls& polls) {
    std::string out;
    put32(out, static_cast<std::uint32_t>(polls.size()));
    for (const StoredPoll& p : polls) {
        encodeRow(out, p.poll);
        encodeRow(out, p.module);
    }
    return out;
}

std::optional<StoredPolls> decodePolls(std::string_view bytes) {
    Reader in(bytes);
    std::uint64_t count = 0;
    if (!in.get(count, 4) || count > bytes.size()) return std::nullopt;
    StoredPolls polls(count);
    for (StoredPoll& p : polls)
        if (!decodeRow(in, p.poll) || !decodeRow(in, p.module)) return std::nullopt;
    if (!in.atEnd()) return std::nullopt;
    return polls;
}

std::string storeErrorText(int code, const char* message) {
    switch (code & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return "baza jest zablokowana do zapisu przez inny program";
    case SQLITE_FULL: return "brak miejsca na dysku";
    case SQLITE_IOERR: return "błąd zapisu na dysk";
    case SQLITE_READONLY: return "baza jest tylko do odczytu";
    case SQLITE_CANTOPEN: return "nie można otworzyć pliku bazy";
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: return "plik bazy jest uszkodzony";
    default: return std::string("błąd SQLite ") + std::to_string(code) + " (" + (message ? message : "") + ")";
    }
}

} // namespace kavrel::fleet
