#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Splits the byte stream coming from the tool into frames. The tool's frames
// count and checksum the code byte together with the body:
// 02 00 LEN code body... checksum 03, LEN = 1 + body length.
namespace sim {

struct IncomingFrame {
    enum class Kind {
        Request,     // LEN 1, a known request code
        ConfigWrite, // code 1 with its 40-byte body
        Unknown,     // well formed, but a code or length the detector has no use for
        Malformed,   // bad checksum, missing ETX or byte 1 not 0
    };
    Kind kind = Kind::Malformed;
    std::uint8_t code = 0;
    std::array<std::uint8_t, 40> body{};
    std::string problem; // for Malformed
};

// The log line for an Unknown or Malformed frame.
std::string IgnoredFrameText(const IncomingFrame& frame);

class FrameParser {
public:
    // A partial frame that started longer ago than this is noise from an
    // earlier exchange (a tool that closed the port half-way, a false STX):
    // it is dropped before new bytes are looked at, as a detector's receive
    // time-out would. A 46-byte write takes 24 ms on the line.
    static constexpr std::int64_t StaleAfterMs = 100;

    std::vector<IncomingFrame> Feed(const std::uint8_t* data, std::size_t count,
                                    std::int64_t nowMs);
    void Reset() { buffer_.clear(); }
    std::size_t Pending() const { return buffer_.size(); }

private:
    std::vector<std::uint8_t> buffer_;
    std::int64_t firstByteMs_ = 0;
};

} // namespace sim
