#pragma once

// The command frame every device of the product line understands: one
// 64-byte output report with report id 4, a checksum over bytes 3..63, the
// command code, the payload length, the payload offset and up to 56 bytes of
// payload; the reply echoes the command in byte 3 and gives a status in
// byte 7 and data from byte 8.

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace vextar {

inline constexpr std::size_t kFrameSize = 64;
inline constexpr uint8_t kCommandReportId = 4;
inline constexpr std::size_t kFramePayloadOffset = 8;
inline constexpr std::size_t kFramePayloadMax = 56;
inline constexpr std::size_t kInfoBlockSize = 34;
inline constexpr std::size_t kCableChunk = 56;
inline constexpr std::size_t kReceiverChunk = 24;
inline constexpr uint16_t kMaxBlockSize = 512;

using Frame = std::array<uint8_t, kFrameSize>;

// Command codes.
inline constexpr uint8_t CMD_START = 0x01;
inline constexpr uint8_t CMD_END = 0x02;
inline constexpr uint8_t CMD_READ_INFO = 0x03;
inline constexpr uint8_t CMD_READ_MEMORY = 0x05;
inline constexpr uint8_t CMD_WRITE_MEMORY = 0x06;
inline constexpr uint8_t CMD_READ_KEYS = 0x07;
inline constexpr uint8_t CMD_WRITE_KEYS = 0x09;
inline constexpr uint8_t CMD_READ_BANK = 0x0A;
inline constexpr uint8_t CMD_WRITE_BANK = 0x0B;
inline constexpr uint8_t CMD_LIGHT_FRAME = 0x12;
inline constexpr uint8_t CMD_WRITE_MACROS = 0x15;
inline constexpr uint8_t CMD_WRITE_PATTERNS = 0x17;
inline constexpr uint8_t CMD_READ_RECORD = 0x1A;
inline constexpr uint8_t CMD_READ_LIGHT_TABLE = 0x1B;
inline constexpr uint8_t CMD_SOFTWARE_LIGHT = 0x1C;
inline constexpr uint8_t CMD_WRITE_KEYS_2 = 0x27;
inline constexpr uint8_t CMD_RECEIVER_STATE = 0xAA;

// Reply status bytes and the receiver's "device not reachable" echo.
inline constexpr uint8_t kStatusOk = 0x00;
inline constexpr uint8_t kStatusError = 0xFF;
inline constexpr uint8_t kStatusRange = 0xFE;
inline constexpr uint8_t kReceiverUnreachable = 0xAA;

// Result codes of exchanges and command operations.
inline constexpr int32_t kResultOk = 1;
inline constexpr int32_t kResultNoReply = 0;  // link not open, or no reply in time
inline constexpr int32_t kResultWriteFailed = -1;
inline constexpr int32_t kResultBadRequest = -2;  // does not fit a frame; nothing sent
inline constexpr int32_t kResultUnreachable = -101;
inline constexpr int32_t kResultStatusFF = -102;
inline constexpr int32_t kResultStatusFE = -103;
inline constexpr int32_t kResultWrongBank = -201;

// What a result code means, for users ("receiver cannot reach its device").
std::string ResultText(int32_t result);

// Sum of bytes 3..63, modulo 65536.
uint16_t FrameChecksum(std::span<const uint8_t, kFrameSize> frame);

// A frame with the checksum filled in. `payload` beyond 56 bytes is cut.
Frame BuildFrame(uint8_t command, uint8_t length, uint16_t offset,
                 std::span<const uint8_t> payload = {});

}  // namespace vextar
