// The read-only fields of the memory state, in the window's order: built once, filled from
// each status the module reports.
#pragma once

#include <string>

#include "logger/protocol/session.h"

namespace kavrel::logger::ui {

struct StatusField {
    const char* label;
    const char* name;
    std::string (*text)(const ModuleStatus&);
};

inline const StatusField kStatusFields[] = {
    {"Wersja modułu", "version", [](const ModuleStatus& s) { return s.versionText(); }},
    {"Liczba rekordów\nw pamięci", "storedRecords", [](const ModuleStatus& s) { return std::to_string(s.storedRecords); }},
    {"Max. liczba rekordów", "capacity", [](const ModuleStatus& s) { return std::to_string(s.recordCapacity()); }},
    {"Zajętość pamięci", "fill", [](const ModuleStatus& s) { return s.fillText(); }},
    {"Okres logowania [min]", "loggingPeriod", [](const ModuleStatus& s) { return std::to_string(s.loggingPeriod); }},
    {"Pojemność pamięci [h]", "memoryHours", [](const ModuleStatus& s) { return std::to_string(s.memoryHours()); }},
    {"Ustawienie zegara", "clock", [](const ModuleStatus& s) { return s.clockText(); }},
};

} // namespace kavrel::logger::ui
