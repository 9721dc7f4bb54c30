// A record sink that keeps what a download hands over, for the tests to compare.
#pragma once

#include <string>
#include <vector>

#include "logger/download/record_sink.h"

namespace kavrel::testing {

struct RecordingSink : logger::RecordSink {
    struct Handed {
        char kind;
        logger::RecordBytes bytes;
        bool correct;
    };

    void downloadStarted() override { ++starts; }
    void historyRecord(const logger::RecordBytes& record, bool correct) override {
        records.push_back({static_cast<char>(record[2]), record, correct});
    }
    void eventRecord(const logger::RecordBytes& record, bool correct) override {
        records.push_back({'Z', record, correct});
    }
    void downloadEnded(logger::DownloadEnd end) override { ends.push_back(end); }

    int starts = 0;
    std::vector<Handed> records;
    std::vector<logger::DownloadEnd> ends;
};

} // namespace kavrel::testing
