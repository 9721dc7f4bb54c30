// The period of history a printout covers: the six choices of "Wybierz zakres danych"
// and the date filter that keeps the lines of the chosen period.
#pragma once

#include <string>
#include <string_view>

namespace kavrel::logger {

inline constexpr int kPeriodCount = 6;
inline constexpr int kDefaultPeriod = 2;   // "Ostatni miesiąc", chosen at program start
inline constexpr int kAllData = 5;         // "Wszystkie dane": keeps every line

// The radio button of a period (Windows-1250); "" outside 0..5.
std::string periodButtonText(int period);
// The period as the printout's title names it (Windows-1250); any other index names the
// whole memory, as it also keeps every line.
std::string periodTitleName(int period);

// Whether a line of the print file ("Lp;YYYY-MM-DD hh:mm:ss;...") belongs to the period,
// today being year-month-day. Day, week and month count days back across one month
// boundary (February always has 28 days), quarter and year count months back across one
// year boundary; a line dated after today is not dropped by a test of a difference.
// Every period but the whole memory drops a line whose date cannot be read.
bool inPeriod(int period, std::string_view line, int year, int month, int day);

} // namespace kavrel::logger
