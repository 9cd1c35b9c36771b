#include "TraceFile.h"

#include "Command.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <fstream>
#include <limits>
#include <string_view>
#include <sys/stat.h>

namespace sim {

namespace {

// The longest line the tool writes is a 257-byte receive (about 830
// characters); anything far longer is not a trace, and reading it whole
// (a device that never sends a line end) must not eat the memory.
constexpr std::size_t MaxLineLength = 4096;

std::optional<int> Digits(std::string_view text, std::size_t at, std::size_t count) {
    int value = 0;
    const char* first = text.data() + at;
    const auto [ptr, ec] = std::from_chars(first, first + count, value);
    if (ec != std::errc() || ptr != first + count || *first == '-' || *first == '+')
        return std::nullopt;
    return value;
}

// "yyyy-MM-dd HH:mm:ss.zzz" in milliseconds. Local time is taken as it is:
// only the differences between lines matter.
std::optional<std::int64_t> ParseTime(std::string_view text) {
    if (text.size() != 23 || text[4] != '-' || text[7] != '-' || text[10] != ' ' ||
        text[13] != ':' || text[16] != ':' || text[19] != '.')
        return std::nullopt;
    const auto y = Digits(text, 0, 4), mo = Digits(text, 5, 2), d = Digits(text, 8, 2);
    const auto h = Digits(text, 11, 2), mi = Digits(text, 14, 2), s = Digits(text, 17, 2);
    const auto ms = Digits(text, 20, 3);
    if (!y || !mo || !d || !h || !mi || !s || !ms || *h > 23 || *mi > 59 || *s > 59)
        return std::nullopt;
    using namespace std::chrono;
    const year_month_day date{year{*y}, month{static_cast<unsigned>(*mo)},
                              day{static_cast<unsigned>(*d)}};
    if (!date.ok())
        return std::nullopt;
    const std::int64_t dayMs =
        duration_cast<milliseconds>(sys_days{date}.time_since_epoch()).count();
    return dayMs + ((std::int64_t{*h} * 60 + *mi) * 60 + *s) * 1000 + *ms;
}

std::optional<std::vector<std::uint8_t>> ParseHex(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < text.size(); i += 3) {
        if (i + 2 > text.size() || (i + 2 < text.size() && text[i + 2] != ' '))
            return std::nullopt;
        int value = 0;
        const auto [ptr, ec] = std::from_chars(text.data() + i, text.data() + i + 2, value, 16);
        if (ec != std::errc() || ptr != text.data() + i + 2 || text[i] == '-' || text[i] == '+')
            return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(value));
        if (bytes.size() > static_cast<std::size_t>(Command::ReceiveBufferSize))
            return std::nullopt;
    }
    if (!text.empty() && text.back() == ' ')
        return std::nullopt;
    return bytes;
}

// The number in "<prefix>N<suffix>", nothing else around it.
std::optional<int> NumberBetween(std::string_view text, std::string_view prefix,
                                 std::string_view suffix, int base = 10) {
    if (!text.starts_with(prefix) || !text.ends_with(suffix) ||
        text.size() <= prefix.size() + suffix.size())
        return std::nullopt;
    const std::string_view digits =
        text.substr(prefix.size(), text.size() - prefix.size() - suffix.size());
    int value = 0;
    const auto [ptr, ec] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (ec != std::errc() || ptr != digits.data() + digits.size() || value < 0 || value > 255 ||
        digits.front() == '-' || digits.front() == '+')
        return std::nullopt;
    return value;
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
        if (tab == std::string_view::npos)
            return fields;
        start = tab + 1;
    }
}

// The longest a receive can take: the longest answer with every byte coming
// just within the largest time-out (500 ms per wait). A longer wait between
// a request and its receive is the clock being set.
constexpr std::int64_t LargestTimeoutMs = 500;
constexpr std::int64_t LongestReceiveMs =
    (Command::ReportLengths[4] + 1) * LargestTimeoutMs + Command::RequestLength;
// Beyond this a wait in nanoseconds no longer fits 64 bits.
constexpr std::int64_t MaxDelayMs = std::numeric_limits<std::int64_t>::max() / 1'000'000;

// The usual wait of each kind, for the answers recorded across a clock
// step: the median of that kind's other waits, else the line time of its
// answer.
void ReplaceClockSteps(Recording& recording) {
    for (auto& [code, answers] : recording.answers) {
        std::vector<std::int64_t> waits;
        for (const RecordedAnswer& a : answers)
            if (!a.clockStep && a.wholeFrame)
                waits.push_back(a.delayMs);
        std::int64_t usual = 0;
        if (!waits.empty()) {
            std::nth_element(waits.begin(), waits.begin() + waits.size() / 2, waits.end());
            usual = waits[waits.size() / 2];
        } else {
            const std::int64_t bytes = Command::RequestLength + Command::ExpectedLengthFor(code);
            usual = (bytes * 10 * 1000 + 19200 - 1) / 19200;
        }
        for (RecordedAnswer& a : answers)
            if (a.clockStep)
                a.delayMs = usual;
    }
}

// Pairs each receive with the request before it while lines come in.
class TraceReader {
public:
    // An empty text when the line was understood, else why not.
    std::string Line(std::string_view line, int number);
    Recording& Result() { return recording_; }

private:
    std::string Sent(std::string_view what, const std::vector<std::uint8_t>& bytes,
                     std::int64_t timeMs);
    std::string Received(std::string_view what, std::vector<std::uint8_t> bytes,
                         std::int64_t timeMs, int number);

    struct Pending {
        std::uint8_t code;
        std::int64_t timeMs;
    };
    std::optional<Pending> request_;
    Recording recording_;
};

std::string TraceReader::Line(std::string_view line, int number) {
    const std::vector<std::string_view> f = Fields(line);
    if (f.size() != 4)
        return "expected 4 tab-separated fields, found " + std::to_string(f.size());
    const auto time = ParseTime(f[0]);
    if (!time)
        return "unreadable time '" + std::string(f[0]) + "'";
    auto bytes = ParseHex(f[3]);
    if (!bytes)
        return "unreadable bytes";
    if (f[1] == "tx")
        return Sent(f[2], *bytes, *time);
    if (f[1] == "rx")
        return Received(f[2], std::move(*bytes), *time, number);
    return "direction '" + std::string(f[1]) + "' is neither tx nor rx";
}

std::string TraceReader::Sent(std::string_view what, const std::vector<std::uint8_t>& bytes,
                              std::int64_t timeMs) {
    // A request still waiting here lost its receive to a port failure: the
    // tool read nothing, so there is nothing to replay for it.
    request_.reset();
    if (what == "write" || what == "store write") {
        if (bytes.size() != Command::ConfigWriteLength || bytes[3] != Command::CmdConfigWrite)
            return "a write of " + std::to_string(bytes.size()) + " bytes is not a write";
        ++recording_.writes;
        return {};
    }
    const auto code = NumberBetween(what, "request ", "", 16);
    if (!code || Command::ExpectedLengthFor(static_cast<std::uint8_t>(*code)) == 0)
        return "unknown frame sent: '" + std::string(what) + "'";
    Command::LinkBuffers expected;
    expected.SelectRequest(static_cast<std::uint8_t>(*code));
    if (!std::equal(bytes.begin(), bytes.end(), expected.PollRequest.begin(),
                    expected.PollRequest.end()))
        return "the bytes of " + std::string(what) + " are not that request";
    request_ = Pending{static_cast<std::uint8_t>(*code), timeMs};
    return {};
}

std::string TraceReader::Received(std::string_view what, std::vector<std::uint8_t> bytes,
                                  std::int64_t timeMs, int number) {
    if (!request_)
        return "a receive with no request before it";
    const std::size_t expected = Command::ExpectedLengthFor(request_->code);
    RecordedAnswer answer;
    answer.line = number;
    const std::int64_t delayMs = timeMs - request_->timeMs;
    if (delayMs > MaxDelayMs || delayMs < -MaxDelayMs)
        return "a wait of " + std::to_string(delayMs) + " ms cannot be replayed";
    // A clock set forward or back (summer time, an NTP correction) between a
    // request and its receive is no wait the detector made: the replay uses
    // the usual wait of that kind instead.
    answer.clockStep = delayMs < 0 || delayMs > LongestReceiveMs;
    answer.delayMs = answer.clockStep ? 0 : delayMs;
    // The tool's own classing must give what the line says, or the replay
    // would feed the tool something it never read.
    Command::ReceiveFrame frame{};
    std::copy_n(bytes.begin(), std::min(bytes.size(), frame.size()), frame.begin());
    const Command::FrameClass frameClass = Command::ClassifyFrame(
        frame, static_cast<int>(bytes.size()), static_cast<int>(expected), 0);
    if (const auto type = NumberBetween(what, "report ", "")) {
        if (bytes.size() != expected || bytes[3] != *type ||
            frameClass != Command::FrameClass::Accepted)
            return std::string(what) + " does not match its bytes or its request";
        answer.wholeFrame = true;
        ++recording_.reports;
    } else if (what == "malformed") {
        if (bytes.size() != expected)
            return "a malformed answer of " + std::to_string(bytes.size()) +
                   " bytes to a request that reads " + std::to_string(expected);
        if (frameClass != Command::FrameClass::Malformed)
            return "the bytes of a malformed answer are not malformed";
        answer.wholeFrame = true;
    } else if (const auto count = NumberBetween(what, "no answer (", " bytes)")) {
        if (bytes.size() != static_cast<std::size_t>(*count) || bytes.size() > expected)
            return std::string(what) + " does not match its bytes or its request";
    } else {
        return "unknown frame received: '" + std::string(what) + "'";
    }
    answer.bytes = std::move(bytes);
    recording_.answers[request_->code].push_back(std::move(answer));
    request_.reset();
    return {};
}

} // namespace

std::optional<Recording> ParseTrace(std::istream& in, TraceProblem& problem) {
    TraceReader reader;
    int number = 0;
    std::string line;
    for (;;) {
        line.clear();
        bool ended = false;
        for (int c; (c = in.get()) != std::char_traits<char>::eof();) {
            if (c == '\n') {
                ended = true;
                break;
            }
            if (line.size() == MaxLineLength) {
                problem = {number + 1, "line too long for a trace"};
                return std::nullopt;
            }
            line.push_back(static_cast<char>(c));
        }
        if (!ended && line.empty())
            break;
        ++number;
        if (in.bad()) {
            problem = {number, "read failed"};
            return std::nullopt;
        }
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        if (std::string why = reader.Line(line, number); !why.empty()) {
            problem = {number, why};
            return std::nullopt;
        }
    }
    Recording& recording = reader.Result();
    ReplaceClockSteps(recording);
    if (recording.reports == 0) {
        problem = {0, "no report in its " + std::to_string(number) + " lines"};
        return std::nullopt;
    }
    return std::move(recording);
}

std::optional<Recording> LoadTrace(const std::string& path, std::string& error) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        error = path + ": is a folder, not a trace";
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    TraceProblem problem;
    std::optional<Recording> recording = ParseTrace(in, problem);
    if (!recording) {
        // Built in steps: GCC 12 at -O3 takes "literal" + std::string&& for
        // an overlapping copy and stops a release build (-Werror=restrict).
        error = path;
        if (problem.line > 0)
            error += ':' + std::to_string(problem.line);
        error += ": " + problem.why;
    }
    return recording;
}

} // namespace sim
