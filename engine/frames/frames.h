// Every frame the engine sends to the phone, as pure functions.
//
// Formats (multi-byte numbers little-endian):
//   single byte  one command byte, no length, no check byte
//   short frame  [L] [L payload bytes] [check]                 L = 0..255,   L + 2 bytes
//   long frame   [L low] [L high] [L payload bytes] [check]    L = 0..65535, L + 3 bytes
// The check byte is the XOR of every byte before it, length bytes included.
//
// Each builder writes into the caller's buffer, stores the number of bytes to send in length and
// returns 0, or a result character for a value it refuses. The buffer must hold the whole frame
// (kFrameBufferSize is enough for every frame the engine builds).
#pragma once

#include <cstddef>
#include <cstdint>

namespace dekvanto::engine {

inline constexpr std::size_t kFrameBufferSize = 259;
inline constexpr uint32_t kLoaderBlockMax = 32;  // payload of one loader block
inline constexpr uint32_t kDataBlockMax = 256;   // payload of one code or personalization block

// Results of the builders that can refuse a value (the download's result characters).
inline constexpr uint8_t kFrameBadParity = '5';
inline constexpr uint8_t kFrameBadSpeed = '6';
inline constexpr uint8_t kFrameBadWaitStates = '7';
inline constexpr uint8_t kFrameBadBusSize = '8';
inline constexpr uint8_t kFrameBadStopBits = '>';
inline constexpr uint8_t kFrameTooLong = 0xFF;  // a payload longer than its format can carry

// The memory target byte: wait states (0x00, 0x08, 0x10, 0x18) OR bus size (0x00, 0x20).
// '7' for another wait-state value (the byte then carries none), '8' for another bus size (the
// bus size is checked last, so it wins when both are wrong).
uint8_t MakeTargetByte(uint8_t *buffer, uint32_t &length, uint32_t wait_states, uint32_t bus_size);

// The line setup frame, 8 bytes: 06 'S' speed-code 'P' parity 'T' stop-count check.
// Speed codes: the line's speed table in order from 6 (57600 -> 6, ..., 460800 -> 9); a rate
// outside the table is refused. Parity 0, 1, 2 as is. Stop-bit
// value 0 -> 1 stop bit, 2 -> 2 stop bits. Fields are checked speed, parity, stop bits; the result
// names the last one refused ('6', '5', '>'). Length and check byte are set in every case.
uint8_t MakeLineFrame(uint8_t *buffer, uint32_t &length, uint32_t bit_rate, uint32_t parity,
                      uint32_t stop_bits);

// A loader block: short frame of count bytes (the engine sends 1..32). kFrameTooLong over 255.
uint8_t MakeLoaderBlock(uint8_t *buffer, uint32_t &length, const uint8_t *source, uint32_t count);

// The end of the loader: the empty short frame 00 00.
uint8_t MakeLoaderEnd(uint8_t *buffer, uint32_t &length);

// The download request byte: 0x40 OR file flags (bit 0 code file, bit 1 personalization file).
uint8_t MakeStartByte(uint8_t *buffer, uint32_t &length, uint32_t file_flags);

// The size of the file that follows: long frame 04 00 b0 b1 b2 b3 check.
uint8_t MakeSizeFrame(uint8_t *buffer, uint32_t &length, uint32_t size);

// A data block: long frame of count bytes (the engine sends 1..256). kFrameTooLong over 65535.
uint8_t MakeDataBlock(uint8_t *buffer, uint32_t &length, const uint8_t *source, uint32_t count);

// The code file's checksum: long frame 02 00 s0 s1 check.
uint8_t MakeSumFrame(uint8_t *buffer, uint32_t &length, uint16_t sum);

// 0xFFFF minus the sum of the bytes, modulo 65536. A count of 0 or less gives 0xFFFF.
uint16_t Sum16(const uint8_t *data, int64_t count);

// Setting value tables: index in the settings record -> value carried by the frames. An index
// outside a table gives a value that the frame builders refuse.
uint32_t WaitStateValue(int32_t index);  // 0..3 -> 0x00, 0x08, 0x10, 0x18
uint32_t BusSizeValue(int32_t index);    // 0 -> 0x00 (8 bits), 1 -> 0x20 (16 bits)
uint32_t ParityValue(int32_t index);     // 0, 1, 2 -> none, odd, even
uint32_t StopBitValue(int32_t index);    // 0 -> 0 (one stop bit), 1 -> 2 (two stop bits)
uint32_t BitRateValue(int32_t index);    // the line's speed table (line/speed_table.h)

}  // namespace dekvanto::engine
