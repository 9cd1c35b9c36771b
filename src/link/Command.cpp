#include "Command.h"

namespace Command {

std::uint8_t FrameChecksum(const std::uint8_t* start, std::size_t count) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += start[i];
    return static_cast<std::uint8_t>((256 - (sum & 0xFF)) & 0xFF);
}

bool ReportChecksumOk(const std::uint8_t* frame) {
    const std::size_t len = frame[2];
    return frame[len + 4] == FrameChecksum(frame + 4, len);
}

int ExpectedLengthFor(std::uint8_t requestCode) {
    switch (requestCode) {
    case CmdLiveStatus:
        return 64;
    case CmdConfigRead:
        return 46;
    case CmdEventLog:
        return 226;
    default:
        return 0;
    }
}

int OwnLengthOfReport(std::uint8_t type) {
    switch (type) {
    case ReportLiveStatus:
        return 64;
    case ReportConfig:
        return 46;
    case ReportEventLog:
        return 226;
    default:
        return 0;
    }
}

void WrapConfigWrite(ConfigWriteFrame& frame, const std::uint8_t* body) {
    frame[0] = STX;
    frame[1] = 0x00;
    frame[2] = ConfigBodyLength + 1;
    frame[3] = CmdConfigWrite;
    for (int i = 0; i < ConfigBodyLength; ++i)
        frame[4 + i] = body[i];
    frame[44] = FrameChecksum(frame.data() + 3, ConfigBodyLength + 1);
    frame[45] = ETX;
}

FrameClass ClassifyFrame(const ReceiveFrame& buffer, int count, int expectedLength, int portError) {
    if (portError != 0 || buffer[0] != STX || count != expectedLength)
        return FrameClass::NoAnswer;
    if (expectedLength < 6 || expectedLength > ReceiveBufferSize)
        return FrameClass::Malformed;
    const int len = buffer[2];
    if (buffer[1] != 0x00 || len != expectedLength - 6)
        return FrameClass::Malformed;
    if (!ReportChecksumOk(buffer.data()) || buffer[len + 5] != ETX)
        return FrameClass::Malformed;
    // The checksum does not cover the type byte, so one flipped bit can turn
    // a live status into a configuration. A report whose consumer reads its
    // payload as a fixed layout must therefore come with its own length.
    const int ownLength = OwnLengthOfReport(buffer[3]);
    if (ownLength != 0 && ownLength != expectedLength)
        return FrameClass::Malformed;
    return FrameClass::Accepted;
}

void LinkBuffers::SelectRequest(std::uint8_t code) {
    PollRequest[3] = code;
    PollRequest[4] = FrameChecksum(&PollRequest[3], 1);
    ExpectedLength = ExpectedLengthFor(code);
}

} // namespace Command
