#pragma once

#include "SimConfig.h"

#include <optional>
#include <string>

// The detector's flash: the configuration kept across restarts, as a 44-byte
// record in a file of its own.
namespace sim {

// The stored configuration; nullopt when there is none (`problem` empty) or
// when the file cannot be used (`problem` says why; the file is left alone).
std::optional<SimConfig> LoadState(const std::string& path, std::string& problem);

// Writes the record through a temporary file and a rename, so a crash never
// leaves half a configuration; creates the folder when it is missing.
bool SaveState(const std::string& path, const SimConfig::Record& record, std::string& error);

} // namespace sim
