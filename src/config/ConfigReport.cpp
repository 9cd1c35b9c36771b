#include "ConfigReport.h"

#include <algorithm>

namespace {

struct Piece {
    int payload;
    int record;
    int length;
};

constexpr Piece Pieces[] = {{0, 0, 5}, {5, 6, 5}, {10, 12, 5}, {15, 18, 10}, {25, 28, 15}};

} // namespace

void UnpackConfigReport(DetectorConfig& config, const std::uint8_t* payload40) {
    for (const Piece& piece : Pieces)
        std::copy_n(payload40 + piece.payload, piece.length, config.Bytes.begin() + piece.record);
}
