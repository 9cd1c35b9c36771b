#include "Report.h"

#include "Command.h"

#include <iterator>

namespace sim {

std::vector<std::uint8_t> BuildReport(std::uint8_t type, const std::uint8_t* payload,
                                      std::size_t length) {
    std::vector<std::uint8_t> f;
    f.reserve(length + 6);
    f.push_back(Command::STX);
    f.push_back(0x00);
    f.push_back(static_cast<std::uint8_t>(length));
    f.push_back(type);
    f.insert(f.end(), payload, payload + length);
    f.push_back(Command::FrameChecksum(payload, length));
    f.push_back(Command::ETX);
    return f;
}

std::vector<std::uint8_t> ApplyFault(FaultMode mode, std::vector<std::uint8_t> report,
                                     const SimConfig& config) {
    const std::size_t len = report[2];
    switch (mode) {
    case FaultMode::BadChecksum:
        report[len + 4] ^= 0x55;
        break;
    case FaultMode::ChecksumWithType:
        // Differs from the right one because no report type is 0.
        report[len + 4] = Command::FrameChecksum(&report[3], len + 1);
        break;
    case FaultMode::Short:
        report.resize(report.size() / 2);
        break;
    case FaultMode::Surplus:
        report.insert(report.end(), std::begin(SurplusBytes), std::end(SurplusBytes));
        break;
    case FaultMode::Type7: {
        std::vector<std::uint8_t> payload(len, 0);
        payload[0] = static_cast<std::uint8_t>(config.PwmDc & 0xFF);
        payload[1] = static_cast<std::uint8_t>(config.PwmDc >> 8);
        payload[2] = static_cast<std::uint8_t>(config.PwmFq & 0xFF);
        payload[3] = static_cast<std::uint8_t>(config.PwmFq >> 8);
        report = BuildReport(Command::ReportPwm, payload.data(), payload.size());
        break;
    }
    case FaultMode::Type11:
        report[3] = 11; // the checksum does not cover the type byte
        break;
    case FaultMode::Type9:
        report[3] = Command::ReportConfig;
        break;
    case FaultMode::None:
    case FaultMode::Silent:
    case FaultMode::Trickle:
    case FaultMode::EveryNth:
    case FaultMode::Hangup:
        break;
    }
    return report;
}

} // namespace sim
