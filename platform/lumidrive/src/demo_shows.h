// The built-in controllers and their demo shows, used when LUMIDRIVE_SIM_DIR
// is not set. Demo frames are computed when read, so nothing is generated at
// start-up and every run yields the same bytes.
#pragma once

#include <memory>
#include <vector>

#include "config.h"
#include "memory_store.h"

namespace lumidrive {

struct BuiltInController {
    ControllerConfig config;
    std::vector<std::string> showNames;  ///< demo shows to put in its store
};

/// The built-in controllers, in enumeration order.
std::vector<BuiltInController> builtInControllers();

/// Fills `store` with the named demo shows.
void addDemoShows(MemoryStore& store, const std::vector<std::string>& names);

}  // namespace lumidrive
