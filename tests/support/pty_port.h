// A pseudo-terminal registered as a COM port in a private port register directory, for tests
// that run the real serial line against a far end played by the test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dekvanto::engine::testing {

class PtyPort {
  public:
    // Creates the pseudo-terminal, points $DEKVANTO_PORTS at a fresh temporary directory and
    // links the slave there as COM<number>.
    explicit PtyPort(int number);
    ~PtyPort();
    PtyPort(const PtyPort &) = delete;
    PtyPort &operator=(const PtyPort &) = delete;

    int number() const { return number_; }
    const std::string &slave_path() const { return slave_path_; }
    const std::string &register_dir() const { return register_dir_; }

    // The far end: writes bytes to the line, reads what the engine wrote (waiting up to
    // timeout_ms for the first byte, then taking whatever follows within a short gap).
    void Send(const std::vector<uint8_t> &bytes);
    std::vector<uint8_t> Receive(int timeout_ms, std::size_t at_most = 4096);
    // The bit rate the engine's side of the line is set to.
    uint32_t BitRate() const;
    // Closes the far end: the line vanishes for the engine.
    void Unplug();

  private:
    int number_;
    int master_ = -1;
    int slave_keeper_ = -1;
    std::string slave_path_;
    std::string register_dir_;
};

// Number of descriptors this process has open.
int OpenDescriptorCount();

}  // namespace dekvanto::engine::testing
