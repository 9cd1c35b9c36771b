#include "FrameParser.h"

#include "Command.h"

#include <algorithm>
#include <cstdio>

namespace sim {

std::string IgnoredFrameText(const IncomingFrame& frame) {
    if (frame.kind == IncomingFrame::Kind::Malformed)
        return "dropped frame: " + frame.problem;
    char text[64];
    std::snprintf(text, sizeof text, "ignored frame with code 0x%02X", frame.code);
    return text;
}

std::vector<IncomingFrame> FrameParser::Feed(const std::uint8_t* data, std::size_t count,
                                             std::int64_t nowMs) {
    if (!buffer_.empty() && nowMs - firstByteMs_ > StaleAfterMs)
        buffer_.clear();
    if (buffer_.empty())
        firstByteMs_ = nowMs;
    buffer_.insert(buffer_.end(), data, data + count);
    const std::size_t before = buffer_.size();

    std::vector<IncomingFrame> frames;
    for (;;) {
        // Anything before an STX cannot start a frame.
        const auto stx = std::find(buffer_.begin(), buffer_.end(), Command::STX);
        buffer_.erase(buffer_.begin(), stx);
        if (buffer_.size() < 3)
            break;

        // A candidate without a proper envelope gives up only its STX, so a
        // real frame that follows a stray 0x02 is still found. A complete
        // envelope with a bad checksum was a frame: it goes whole, so that
        // its body is not searched for false starts.
        auto reject = [&](const char* problem, std::size_t drop = 1) {
            IncomingFrame f;
            f.kind = IncomingFrame::Kind::Malformed;
            f.problem = problem;
            frames.push_back(std::move(f));
            buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(drop));
        };

        const std::size_t len = buffer_[2];
        if (buffer_[1] != 0x00) {
            reject("byte 1 is not 0");
            continue;
        }
        if (len == 0) {
            reject("length 0");
            continue;
        }
        const std::size_t total = len + 5;
        if (buffer_.size() < total)
            break;
        if (buffer_[total - 1] != Command::ETX) {
            reject("no ETX");
            continue;
        }
        if (Command::FrameChecksum(&buffer_[3], len) != buffer_[len + 3]) {
            reject("bad checksum", total);
            continue;
        }

        IncomingFrame f;
        f.code = buffer_[3];
        if (len == 1 && Command::ExpectedLengthFor(f.code) != 0) {
            f.kind = IncomingFrame::Kind::Request;
        } else if (f.code == Command::CmdConfigWrite && len == 1 + f.body.size()) {
            f.kind = IncomingFrame::Kind::ConfigWrite;
            std::copy_n(&buffer_[4], f.body.size(), f.body.begin());
        } else {
            f.kind = IncomingFrame::Kind::Unknown;
        }
        frames.push_back(std::move(f));
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(total));
    }
    // Whatever is left starts a new frame now if the old one was consumed.
    if (buffer_.size() != before)
        firstByteMs_ = nowMs;
    return frames;
}

} // namespace sim
