#include "WalkScript.h"

#include "Options.h"

#include <sstream>
#include <utility>

namespace sim {

const char* const DefaultWalkScript =
    "quiet:1000 mw:800 quiet:700 pir2+out1:1500 quiet:700 tamper:800 quiet:300";

namespace {

// Flags as the live status carries them: detection bits, then device bits.
struct FlagName {
    const char* Name;
    bool Device;
    int Bit;
};
constexpr FlagName Names[] = {
    {"mw", false, 0},       {"pir1", false, 2},     {"pir2", false, 4},     {"mask1", false, 7},
    {"mask2", false, 8},    {"tamper", false, 11},  {"noise1", false, 12},  {"noise2", false, 13},
    {"out1", true, 0},      {"out2", true, 1},      {"out3", true, 2},      {"power", true, 6},
    {"mwfault", true, 7},   {"pir1fault", true, 8}, {"pir2fault", true, 9}, {"cpufault", true, 10},
    {"autotest", true, 14},
};

} // namespace

std::optional<std::vector<WalkStep>> ParseWalkScript(std::string_view text, std::string& error) {
    std::istringstream in{std::string(text)};
    std::vector<WalkStep> steps;
    for (std::string word; in >> word;) {
        const auto colon = word.rfind(':');
        const auto ms = colon == std::string::npos
                            ? std::nullopt
                            : ParseNumber(std::string_view(word).substr(colon + 1), 1, 600'000);
        if (!ms) {
            error = "step '" + word + "' needs :MS, 1 to 600000";
            return std::nullopt;
        }
        WalkStep step;
        step.Ms = *ms;
        std::string flags = word.substr(0, colon);
        for (std::size_t from = 0; from <= flags.size();) {
            std::size_t plus = flags.find('+', from);
            if (plus == std::string::npos)
                plus = flags.size();
            const std::string name = flags.substr(from, plus - from);
            from = plus + 1;
            if (name == "quiet")
                continue;
            bool known = false;
            for (const FlagName& f : Names) {
                if (name != f.Name)
                    continue;
                (f.Device ? step.Device : step.Detect) |= static_cast<std::uint16_t>(1u << f.Bit);
                known = true;
            }
            if (!known) {
                error = "unknown flag '" + name + "' in step '" + word + "'";
                return std::nullopt;
            }
        }
        steps.push_back(step);
    }
    if (steps.empty()) {
        error = "a walk needs at least one step";
        return std::nullopt;
    }
    return steps;
}

} // namespace sim
