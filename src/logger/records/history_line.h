// The CSV line of the measurement history: a "P" record opens it with the input lines and
// the module's state, the "X" record after it adds the extended lines and ends it.
// Lines are composed in the program's own form (comma separator, decimal point); the
// export converts them to the file's form.
#pragma once

#include <cstdint>
#include <string>

#include "logger/descriptions/line_descriptions.h"
#include "logger/records/record_layout.h"
#include "logger/records/record_time.h"
#include "logger/values/value_kind.h"

namespace kavrel::logger {

class HistoryLineBuilder {
public:
    // full: every column (fullExport set and not printing); otherwise the reduced set.
    HistoryLineBuilder(const LineDescriptions& descriptions, const LineConfiguration& lines, bool full);

    // The fields of a "P" record, preceded by the line feed that ends a previous line
    // still waiting for its "X" record. The line stays open. An incorrect record counts.
    std::string measurement(const RecordBytes& record, const RecordTime& time, bool correct);

    // The extended-line values of an "X" record and the line end.
    std::string extended(const RecordBytes& record);

    bool lineOpen() const { return lineOpen_; }
    int invalidRecords() const { return invalidRecords_; }

private:
    const LineDescriptions& descriptions_;
    LineConfiguration lines_;
    bool full_;
    bool lineOpen_ = false;
    std::uint8_t lastFlags_ = 0;
    int invalidRecords_ = 0;
};

} // namespace kavrel::logger
