#include "FrameParser.h"

#include "Command.h"

#include <algorithm>

namespace sim {

std::vector<IncomingFrame> FrameParser::Feed(const std::uint8_t* data, std::size_t count,
                                             std::int64_t nowMs) {
    if (!buffer_.empty() && nowMs - lastByteMs_ > StaleAfterMs)
        buffer_.clear();
    if (count > 0)
        lastByteMs_ = nowMs;
    buffer_.insert(buffer_.end(), data, data + count);

    std::vector<IncomingFrame> frames;
    for (;;) {
        // Anything before an STX cannot start a frame.
        const auto stx = std::find(buffer_.begin(), buffer_.end(), Command::STX);
        buffer_.erase(buffer_.begin(), stx);
        if (buffer_.size() < 3)
            break;

        // A rejected candidate gives up only its STX, so a real frame that
        // follows a stray 0x02 is still found.
        auto reject = [&](const char* problem) {
            IncomingFrame f;
            f.kind = IncomingFrame::Kind::Malformed;
            f.problem = problem;
            frames.push_back(std::move(f));
            buffer_.erase(buffer_.begin());
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
            reject("bad checksum");
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
    return frames;
}

} // namespace sim
