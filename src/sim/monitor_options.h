// How the simulated module answers the measurement queries, and how it misbehaves.
// (A module that does not answer "MSR?" at all is the link's "--silent-on MSR?".)
#pragma once

namespace kavrel::sim {

struct MonitorSimOptions {
    int extMode = 1;                 // extended-line state reported in "MSR=": 0 none, 1 masks, 2 or 3 unknown
    bool wrongReply = false;         // "MSR?" is answered with a line not beginning with "MSR="
    bool fewFields = false;          // "MSR=" carries only its first 12 of 23 fields
    bool longTexts = false;          // readings longer than 15 characters in "MSR=" and "MSRX="
    bool hugeLine = false;           // "MSR=" whose first reading runs on for 200 kB before the rest
    // The faults above apply to the "MSR?" polls firstFaultyPoll..lastFaultyPoll of the
    // run (counted from 1; last 0: to the end) and to the "MSRX?" that follows them.
    long firstFaultyPoll = 1;
    long lastFaultyPoll = 0;
    // A line whose reading swings between two values, changing every `oscillateEvery` polls
    // (1: at every poll), for alarm scenarios; line 0: none.
    int oscillateLine = 0;           // 1..8
    double oscillateLow = 0, oscillateHigh = 0;
    long oscillateEvery = 1;
    // The "MSR?" polls silentFirst..silentLast of the run get no answer at all (a module out of
    // reach for a while); 0: none.
    long silentFirst = 0, silentLast = 0;
};

} // namespace kavrel::sim
