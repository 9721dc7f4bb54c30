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
};

} // namespace kavrel::sim
