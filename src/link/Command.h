#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Frame format of the detector protocol: constants, checksums, the request
// frames and the classification of a received answer.
namespace Command {

inline constexpr std::uint8_t STX = 0x02;
inline constexpr std::uint8_t ETX = 0x03;

// Codes sent by the tool.
inline constexpr std::uint8_t CmdConfigWrite = 0x01;
inline constexpr std::uint8_t CmdLiveStatus = 0x08;
inline constexpr std::uint8_t CmdConfigRead = 0x09;
inline constexpr std::uint8_t CmdEventLog = 0x0C;

// Report types received, and their total frame lengths.
inline constexpr std::uint8_t ReportPwm = 7;
inline constexpr std::uint8_t ReportLiveStatus = 8;
inline constexpr std::uint8_t ReportConfig = 9;
inline constexpr std::uint8_t ReportBlock10 = 10;
inline constexpr std::uint8_t ReportEventLog = 12;
inline constexpr std::array<int, 5> ReportTypes{7, 8, 9, 10, 12};
inline constexpr std::array<int, 5> ReportLengths{10, 64, 46, 26, 226};

inline constexpr int RequestLength = 6;
inline constexpr int ConfigWriteLength = 46;
inline constexpr int ConfigBodyLength = 40;
inline constexpr int ReceiveBufferSize = 257;

// Payload sizes taken from an accepted report.
inline constexpr int PwmPayloadLength = 4;
inline constexpr int LiveStatusLength = 58;
inline constexpr int Block10Length = 20;
inline constexpr int EventLogLength = 220;

using RequestFrame = std::array<std::uint8_t, RequestLength>;
using ConfigWriteFrame = std::array<std::uint8_t, ConfigWriteLength>;
using ReceiveFrame = std::array<std::uint8_t, ReceiveBufferSize>;

// Two's complement of the 8-bit sum of `count` bytes from `start`: the covered
// bytes plus the checksum add up to 0 modulo 256. A count of 0 gives 0x00.
std::uint8_t FrameChecksum(const std::uint8_t* start, std::size_t count);

// A report's checksum covers its payload only (bytes 4 .. LEN + 3), never the
// type byte. The frame must hold at least LEN + 5 bytes.
bool ReportChecksumOk(const std::uint8_t* frame);

// Total length of the answer to a request code; 0 for a code that has none.
int ExpectedLengthFor(std::uint8_t requestCode);

// Total length a report of `type` must arrive with; 0 for the types that are
// taken at the length of whatever was asked for (7, 10 and unknown types,
// whose payload is read only in part or not at all).
int OwnLengthOfReport(std::uint8_t type);

// Fills the envelope of a configuration write around `body` (40 bytes):
// 02 00 29 01 body checksum 03, the checksum covering code and body.
void WrapConfigWrite(ConfigWriteFrame& frame, const std::uint8_t* body);

enum class FrameClass { NoAnswer, Malformed, Accepted };

// Classes the frame read into `buffer` by a receive that asked for
// `expectedLength` bytes, returned `count` and left `portError` (0 = none).
// The LEN test comes before the checksum and ETX tests, so nothing beyond
// index expectedLength - 1 is ever read. Live status, configuration and event
// log reports are accepted only at their own length.
FrameClass ClassifyFrame(const ReceiveFrame& buffer, int count, int expectedLength, int portError);

// The link's buffers and the current request. `SelectRequest` changes the
// code, its checksum and the expected answer length in one step.
struct LinkBuffers {
    RequestFrame PollRequest{STX, 0x00, 0x01, CmdLiveStatus, 0x00, ETX};
    ConfigWriteFrame OutgoingFrame{};
    ReceiveFrame ReceiveBuffer{};
    int ExpectedLength = 0;
    bool WritePending = false;
    // The detector's configuration has been received and shown since the
    // last Connect. Until then the controls hold nothing the detector said,
    // so no write may be built from them.
    bool ConfigShown = false;

    void SelectRequest(std::uint8_t code);
    void RequestLiveStatus() { SelectRequest(CmdLiveStatus); }
    void RequestConfigRead() { SelectRequest(CmdConfigRead); }
    void RequestEventLog() { SelectRequest(CmdEventLog); }
};

} // namespace Command
