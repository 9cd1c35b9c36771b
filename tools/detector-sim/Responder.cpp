#include "Responder.h"

#include "StateFile.h"

#include <random>

namespace sim {

std::unique_ptr<Responder> SimulatedDetector(const SimOptions& options,
                                             const std::string& statePath,
                                             std::vector<std::string>& lines) {
    std::string stateProblem;
    const std::optional<SimConfig> stored = LoadState(statePath, stateProblem);
    if (stored)
        lines.push_back("configuration loaded from " + statePath);
    else if (!stateProblem.empty())
        lines.push_back("ignoring " + stateProblem + "; using the factory configuration");
    else
        lines.push_back("no stored configuration at " + statePath +
                        "; using the factory configuration");
    if (options.fault.Mode != FaultMode::None)
        lines.push_back("fault " + std::string(FaultModeName(options.fault.Mode)));
    Detector detector(stored.value_or(SimConfig::Defaults()),
                      options.seed.value_or(std::random_device{}()), options.walkEverySec * 1000);
    detector.SetFault(options.fault);
    detector.SetTiming(options.timing);
    return std::make_unique<DetectorResponder>(std::move(detector));
}

} // namespace sim
