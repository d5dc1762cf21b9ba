// A controller's trigger table and its file, triggers.txt.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "devtypes.h"

namespace lumidrive {

struct TriggerRow {
    DevTrigger trigger;
    DevTriggerAction action;  ///< fileName zero-filled after its terminator
};

struct TriggerTable {
    DevTriggerHeader header{0, 0, 0, 0};
    std::vector<TriggerRow> rows;
};

/// The text of a triggers.txt holding `table`.
std::string formatTriggerFile(const TriggerTable& table);

/// Parses the text of a triggers.txt. Returns false with a reason.
bool parseTriggerFile(std::string_view text, TriggerTable& out, std::string& error);

/// Reads `file`; a missing file is an empty table. DevCorrupt when the file
/// cannot be parsed, DevIOError when it cannot be read.
DevReturn loadTriggerFile(const std::filesystem::path& file, TriggerTable& out, std::string& error);

/// Replaces `file` with `table` atomically: a temporary beside it is written,
/// made durable and renamed over it, so a reader sees the old or the new
/// table, never a part.
DevReturn saveTriggerFile(const std::filesystem::path& file, const TriggerTable& table);

}  // namespace lumidrive
