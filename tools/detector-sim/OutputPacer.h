#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

// Holds answer bytes until their time on the line has come. Answers queue
// behind each other as on a real line: a new one starts no earlier than one
// gap after the last queued byte. Times are nanoseconds of a monotonic clock.
namespace sim {

class OutputPacer {
public:
    void Enqueue(const std::vector<std::uint8_t>& bytes, std::int64_t nowNs, std::int64_t delayNs,
                 std::int64_t gapNs);

    // The bytes due by `nowNs`, oldest first; `Consume` drops those written.
    std::vector<std::uint8_t> Due(std::int64_t nowNs) const;
    void Consume(std::size_t count);

    std::optional<std::int64_t> NextDueNs() const;
    bool Empty() const { return queue_.empty(); }
    void Clear() { queue_.clear(); }

private:
    struct Item {
        std::uint8_t byte;
        std::int64_t dueNs;
    };
    std::deque<Item> queue_;
};

} // namespace sim
