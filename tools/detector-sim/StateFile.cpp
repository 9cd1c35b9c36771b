#include "StateFile.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace sim {

namespace fs = std::filesystem;

std::optional<SimConfig> LoadState(const std::string& path, std::string& problem) {
    problem.clear();
    std::error_code ec;
    if (!fs::exists(path, ec))
        return std::nullopt;
    const auto size = fs::file_size(path, ec);
    if (ec || size != ConfigRecordLength) {
        problem = path + " is not a " + std::to_string(ConfigRecordLength) + "-byte configuration";
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    SimConfig::Record record{};
    if (!in.read(reinterpret_cast<char*>(record.data()), record.size())) {
        problem = "cannot read " + path;
        return std::nullopt;
    }
    return SimConfig::FromRecord(record);
}

bool SaveState(const std::string& path, const SimConfig::Record& record, std::string& error) {
    std::error_code ec;
    const fs::path target(path);
    if (target.has_parent_path())
        fs::create_directories(target.parent_path(), ec);
    if (ec) {
        error = "cannot create " + target.parent_path().string() + ": " + ec.message();
        return false;
    }
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(record.data()), record.size());
        out.flush();
        if (!out) {
            error = "cannot write " + temporary;
            fs::remove(temporary, ec);
            return false;
        }
    }
    fs::rename(temporary, target, ec);
    if (ec) {
        error = "cannot replace " + path + ": " + ec.message();
        fs::remove(temporary, ec);
        return false;
    }
    return true;
}

} // namespace sim
