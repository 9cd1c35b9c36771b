#include "OutputPacer.h"

#include <algorithm>

namespace sim {

void OutputPacer::Enqueue(const std::vector<std::uint8_t>& bytes, std::int64_t nowNs,
                          std::int64_t delayNs, std::int64_t gapNs) {
    // With a gap, byte i is complete on the line (i + 1) gaps after the start.
    std::int64_t start = nowNs + delayNs;
    if (!queue_.empty())
        start = std::max(start, queue_.back().dueNs);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        queue_.push_back({bytes[i], start + static_cast<std::int64_t>(i + 1) * gapNs});
}

std::vector<std::uint8_t> OutputPacer::Due(std::int64_t nowNs) const {
    std::vector<std::uint8_t> out;
    for (const Item& item : queue_) {
        if (item.dueNs > nowNs)
            break;
        out.push_back(item.byte);
    }
    return out;
}

void OutputPacer::Consume(std::size_t count) {
    queue_.erase(queue_.begin(),
                 queue_.begin() + static_cast<std::ptrdiff_t>(std::min(count, queue_.size())));
}

std::optional<std::int64_t> OutputPacer::NextDueNs() const {
    if (queue_.empty())
        return std::nullopt;
    return queue_.front().dueNs;
}

} // namespace sim
