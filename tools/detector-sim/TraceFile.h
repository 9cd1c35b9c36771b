#pragma once

#include <cstdint>
#include <istream>
#include <map>
#include <optional>
#include <string>
#include <vector>

// Reads a session recorded with `detector-config --trace`: one line per frame,
// four tab-separated fields (local time with milliseconds, tx or rx, what the
// frame is, its bytes in hex). Each receive follows the request it answers;
// a write is followed by nothing.
namespace sim {

// What the tool read after one recorded request.
struct RecordedAnswer {
    std::vector<std::uint8_t> bytes;
    std::int64_t delayMs = 0; // from the request to the end of the receive
    // The clock was set between the request and its receive; `delayMs` is
    // then the usual wait of that kind of answer.
    bool clockStep = false;
    // A whole frame: a report or a malformed one. Otherwise the receive gave
    // up waiting ("no answer") and `bytes` is what had arrived by then.
    bool wholeFrame = false;
    int line = 0; // of the receive in the trace
};

struct Recording {
    // Keyed by request code (0x08, 0x09, 0x0C), in recorded order.
    std::map<std::uint8_t, std::vector<RecordedAnswer>> answers;
    int reports = 0; // accepted reports among the answers
    int writes = 0;
};

struct TraceProblem {
    int line = 0; // 0: the trace as a whole
    std::string why;
};

// A trace that cannot be read, or that holds no report, gives a problem.
// Blank lines and a carriage return before the line end are allowed; a
// request whose receive was never recorded (the port failed under it) is
// left out.
std::optional<Recording> ParseTrace(std::istream& in, TraceProblem& problem);

// Opens and parses `path`; `error` then names the file and the line.
std::optional<Recording> LoadTrace(const std::string& path, std::string& error);

} // namespace sim
