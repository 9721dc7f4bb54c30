#include "fleet/postgres/fleet_lease.h"

#include <iostream>

#include "fleet/fleet_database.h"
#include "fleet/postgres/pg_connection.h"
#include "fleet/postgres/pg_schema.h"

namespace kavrel::fleet::postgres {
namespace {

// A member counts this long after the others have all read its row once; and stops
// counting itself this long before its lease ends.
constexpr std::chrono::milliseconds kSettleMargin{250};

const char* const kRenewSql =
    "INSERT INTO fleet_members AS f (member, started, expires) VALUES ($1, now(), now() + $2::bigint * interval '1 ms') "
    "ON CONFLICT (member) DO UPDATE SET expires = EXCLUDED.expires, "
    "started = CASE WHEN f.expires < now() THEN now() ELSE f.started END";
const char* const kMembersSql =
    "SELECT member, (extract(epoch FROM started) * 1000)::bigint, (extract(epoch FROM expires) * 1000)::bigint, "
    "(extract(epoch FROM now()) * 1000)::bigint FROM fleet_members WHERE expires > now() ORDER BY member";

} // namespace

FleetLease::FleetLease(const std::string& address, LeaseOptions options) : address_(address), options_(std::move(options)) {
    if (options_.renewEvery.count() <= 0) options_.renewEvery = options_.lease / 3;
    if (options_.member.empty()) options_.member = defaultMemberName();
    thread_ = std::thread([this] { run(); });
}

FleetLease::~FleetLease() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void FleetLease::abandon() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
        leaveAtEnd_ = false;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    std::lock_guard lock(mutex_);
    validUntil_ = {};
}

bool FleetLease::holdsLease(Steady::time_point now) const {
    std::lock_guard lock(mutex_);
    return now < validUntil_;
}

std::vector<std::string> FleetLease::liveMembers(Steady::time_point now) const {
    std::vector<std::string> live;
    std::lock_guard lock(mutex_);
    for (const Member& m : members_)
        if (m.counts <= now && now < m.expires) live.push_back(m.name);
    return live;
}

bool FleetLease::owns(const std::string& module, Steady::time_point now) const {
    std::lock_guard lock(mutex_);
    if (now >= validUntil_) return false;
    const std::string* best = nullptr;
    std::uint64_t bestWeight = 0;
    for (const Member& m : members_) {
        if (m.counts > now || now >= m.expires) continue;
        const std::uint64_t w = rendezvousWeight(m.name, module);
        if (!best || w > bestWeight || (w == bestWeight && m.name < *best)) {
            best = &m.name;
            bestWeight = w;
        }
    }
    return best && *best == options_.member;
}

bool FleetLease::renew(PgConnection& pg) {
    // The tables are made at the first connection (the store may not have made them yet).
    if (!pg.connected() || !schemaReady_) {
        schemaReady_ = false;
        if (!pg.exec(schemaSql())) {
            if (pg.connected()) pg.exec("ROLLBACK");
            return false;
        }
        schemaReady_ = true;
    }
    const Steady::time_point sent = Steady::now();
    if (!pg.run(kRenewSql, {options_.member, static_cast<long long>(options_.lease.count())})) return false;
    const PgResult rows = pg.run(kMembersSql);
    if (!rows) return false;
    const Steady::time_point received = Steady::now();
    std::vector<Member> members;
    for (int r = 0; r < rows.rows(); ++r) {
        const long long serverNow = std::stoll(rows.text(r, 3));
        const auto since = [&](int column) { return std::chrono::milliseconds(std::stoll(rows.text(r, column)) - serverNow); };
        // Another's lease is taken to end as early as it may; a member counts as late as it
        // may: neither leaves a moment when two services poll one module.
        members.push_back({rows.text(r, 0), received + since(1) + options_.renewEvery + kSettleMargin, sent + since(2)});
    }
    // Alone on the server, a service owns the fleet at once: no other has one to hand over,
    // and one joining later reads this row before it counts itself.
    if (members.size() == 1 && members.front().name == options_.member) members.front().counts = received;
    std::lock_guard lock(mutex_);
    members_ = std::move(members);
    // Our own lease ends a margin before the others may take it to: they count from their own
    // reading of the server's clock, which may come a round trip after ours.
    validUntil_ = sent + options_.lease - kSettleMargin;
    return true;
}

void FleetLease::leave(PgConnection& pg) {
    pg.run("DELETE FROM fleet_members WHERE member = $1", {options_.member});
}

void FleetLease::run() {
    PgConnection pg(address_, static_cast<int>(std::max<long long>(2, options_.lease.count() / 1000)));
    bool said = false;
    std::unique_lock lock(mutex_);
    while (!ending_) {
        lock.unlock();
        const bool renewed = renew(pg);
        const Steady::time_point now = Steady::now();
        lock.lock();
        const bool holding = now < validUntil_;
        if (!holding && !said) {
            std::cerr << "kavrel fleet serve: brak dzierżawy w bazie (" << pg.error()
                      << "); moduły tej usługi nie są odpytywane, dopóki baza nie odpowie\n";
            said = true;
        } else if (holding && said) {
            std::cerr << "kavrel fleet serve: dzierżawa odnowiona; odpytywanie wznowione\n";
            said = false;
        }
            // A failed renewal is tried again sooner, while the lease still holds.
        wake_.wait_for(lock, renewed ? options_.renewEvery : options_.renewEvery / 3, [this] { return ending_; });
    }
    const bool leaving = leaveAtEnd_;
    lock.unlock();
    if (leaving) leave(pg);
}

} // namespace kavrel::fleet::postgres
