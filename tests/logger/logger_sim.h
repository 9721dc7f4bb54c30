// A logger session pointed at an in-process simulator, with the pauses of the protocol
// skipped so that fault tests run quickly.
#pragma once

#include "link/module_link.h"
#include "logger/protocol/session.h"
#include "support/recording_observer.h"
#include "support/sim_fixture.h"

namespace kavrel::testing {

inline sim::SimOptions memoryOf(int records) {
    sim::SimOptions options;
    options.memory.records = records;
    return options;
}

struct LoggerSim {
    explicit LoggerSim(sim::SimOptions options, bool tcp = true) : sim(std::move(options)) {
        if (tcp) sim.useTcp(link);
        else sim.useSerial(link);
        session.clock = &clock;
    }

    SimFixture sim;
    link::ModuleLink link{link::LinkVariant::logger()};
    RecordingObserver observer;
    logger::LoggerSession session{link, observer};
    FixedClock clock{{}, 1'000'000};   // skips the pauses; calendar seconds stand still
};

} // namespace kavrel::testing
