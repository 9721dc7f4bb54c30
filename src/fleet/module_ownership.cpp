#include "fleet/module_ownership.h"

namespace kavrel::fleet {
namespace {

// FNV-1a, then a 64-bit finaliser: FNV alone spreads similar names ("K1", "K2") poorly.
std::uint64_t mix(std::uint64_t h) {
    h ^= h >> 30;
    h *= 0xbf58476d1ce4e5b9ull;
    h ^= h >> 27;
    h *= 0x94d049bb133111ebull;
    return h ^ (h >> 31);
}

void add(std::uint64_t& h, std::string_view text) {
    for (const unsigned char c : text) {
        h ^= c;
        h *= 0x100000001b3ull;
    }
}

} // namespace

std::uint64_t rendezvousWeight(std::string_view member, std::string_view module) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    add(h, member);
    add(h, std::string_view("\0", 1));
    add(h, module);
    return mix(h);
}

std::string rendezvousOwner(std::string_view module, const std::vector<std::string>& members) {
    const std::string* best = nullptr;
    std::uint64_t bestWeight = 0;
    for (const std::string& m : members) {
        const std::uint64_t w = rendezvousWeight(m, module);
        if (!best || w > bestWeight || (w == bestWeight && m < *best)) {
            best = &m;
            bestWeight = w;
        }
    }
    return best ? *best : std::string();
}

} // namespace kavrel::fleet
