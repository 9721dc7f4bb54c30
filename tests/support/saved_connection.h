// The connection settings a window under test starts with, kept in its settings store as
// the configurator and the monitor keep them. A store that refuses them ends the test
// program: every later step would test the wrong connection.
#pragma once

#include <cstdio>
#include <cstdlib>

#include "common/settings_store.h"
#include "link/connection_settings.h"

namespace kavrel::testing {

inline void saveConnection(SettingsStore& store, const link::ConnectionSettings& settings) {
    store.createKey(link::kConnectionKey);
    if (link::saveConnectionSettings(store, settings) == FileResult::Ok) return;
    std::fprintf(stderr, "the test's connection settings could not be kept\n");
    std::abort();
}

} // namespace kavrel::testing
