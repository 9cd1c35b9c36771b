#pragma once

#include "Command.h"

#include <cstdint>

// One frame sent by the poll cycle, or the outcome of one receive.
struct FrameEvent {
    enum Kind { RequestSent, WriteSent, Received };
    Kind kind = RequestSent;
    const std::uint8_t* bytes = nullptr;                            // valid during the call only
    int count = 0;                                                  // bytes sent or received
    Command::FrameClass frameClass = Command::FrameClass::Accepted; // Received only
};
