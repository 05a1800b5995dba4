// The PC's side of the line, played by hand in the phone simulator's tests: the registered
// port opened raw 8N1 like any serial port, frames built here from the protocol's layouts and
// checked against hand-computed bytes, never by the engine.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dekvanto::simtest {

using Bytes = std::vector<uint8_t>;

// The line setup frames used in the tests: 115200 bit/s, no parity, 1 stop bit; and 460800
// bit/s, even parity, 2 stop bits.
inline const Bytes kLine115200{0x06, 0x53, 0x07, 0x50, 0x00, 0x54, 0x01, 0x57};
inline const Bytes kLine460800{0x06, 0x53, 0x09, 0x50, 0x02, 0x54, 0x02, 0x58};

Bytes ShortFrame(const Bytes &payload);  // L, payload, XOR
Bytes LongFrame(const Bytes &payload);   // L low, L high, payload, XOR
Bytes SizeFrame(uint32_t size);
Bytes SumFrame(uint16_t sum);
uint16_t FileSum(const Bytes &data);  // 0xFFFF minus the byte sum
Bytes Pattern(size_t size, uint8_t seed);

class PcLine {
  public:
    // Opens the port raw at 2400 bit/s; exclusive takes the line as the engine does, and closing
    // it then tells the phone that the PC has let go (its session ends once it has taken in
    // everything sent before).
    explicit PcLine(const std::string &path, bool exclusive = false);
    ~PcLine();

    bool IsOpen() const { return fd_ >= 0; }
    void SetSpeed(uint32_t bit_rate);
    void Send(const Bytes &bytes);
    void Send(uint8_t byte) { Send(Bytes{byte}); }
    // The phone's next byte: waits until it arrives or the line hangs up (the phone's session
    // has ended), which gives nothing. The wait is bounded only to keep a broken phone from
    // hanging the test run; a working exchange never comes near the bound.
    std::optional<uint8_t> Read();
    // The next count bytes, fewer when the line hangs up.
    Bytes Read(size_t count);
    // True when nothing arrives for ms milliseconds. It proves an absence that long, which no
    // load on the machine can make false.
    bool QuietFor(int ms);
    // True when the line hangs up (the phone went away).
    bool HangsUp();
    void Close();

  private:
    int fd_ = -1;
};

// A download as the PC drives it.
struct Download {
    uint8_t target = 0x38;
    Bytes line_frame = kLine115200;
    uint32_t bit_rate = 115200;  // the speed the line frame announces
    Bytes loader;
    std::optional<Bytes> code;
    std::optional<Bytes> perso;
    uint32_t perso_bit_rate = 115200;  // the speed the PC switches to for the perso file
    bool acknowledged = true;          // read the answers (else only pause, as in blind mode)
};

// Each step returns "" when every answer read was the expected one, else what went wrong.
std::string PlayBoot(PcLine &pc, const Download &d);    // target byte, line frame, speed
std::string PlayLoader(PcLine &pc, const Download &d);  // blocks, end frame, '8'
std::string PlayRequest(PcLine &pc, const Download &d);
std::string PlayUpToFiles(PcLine &pc, const Download &d);  // boot, loader, request byte
std::string PlayCode(PcLine &pc, const Download &d);       // size, blocks, checksum, two '8'
std::string PlayPerso(PcLine &pc, const Download &d);      // '8', 115200, size, blocks, '8'
std::string PlayDownload(PcLine &pc, const Download &d);

}  // namespace dekvanto::simtest
