#pragma once

#include <cstdint>

// Receives the payloads of accepted reports from the poll cycle. Each pointer
// is the first payload byte (frame byte 4) and valid only during the call.
class ReportSink {
public:
    virtual ~ReportSink() = default;
    virtual void PwmReport(const std::uint8_t* payload4) = 0;
    virtual void LiveStatusReport(const std::uint8_t* payload58) = 0;
    virtual void ConfigReport(const std::uint8_t* payload40) = 0;
    virtual void EventLogReport(const std::uint8_t* payload220) = 0;
};
