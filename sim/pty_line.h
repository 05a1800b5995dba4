// The phone's end of the serial line: a pseudo-terminal whose other end is registered as
// COM<n> in the port register, so the engine opens it like any serial port.
//
// The phone holds the master side and keeps one descriptor of the slave side open for its whole
// life, so the line does not hang up when the PC closes its port. It never changes the line's
// settings: the PC configures the slave (raw 8N1, its speeds), and the phone reads them back
// through the master to see which speed the PC side is using.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace dekvanto::sim {

class PtyLine {
  public:
    // Opens a pseudo-terminal and links its slave as <register_dir>/COM<port>; port 0 takes
    // the lowest free number from 1. A dangling COM<port> link left by an earlier run is
    // replaced; a live entry is refused. The directory is created when missing. On failure
    // returns null and says why in error. With own_terminal the slave becomes the controlling
    // terminal of the calling process, which must lead a session without one.
    static std::unique_ptr<PtyLine> Open(int port, const std::string &register_dir,
                                         std::string &error, bool own_terminal = false);

    // Closes both descriptors and removes the link (only if it still points at this line).
    ~PtyLine();

    PtyLine(const PtyLine &) = delete;
    PtyLine &operator=(const PtyLine &) = delete;

    int PortNumber() const { return port_; }
    const std::string &SlavePath() const { return slave_path_; }
    const std::string &LinkPath() const { return link_path_; }

    // The master descriptor, for poll(); -1 once unplugged.
    int MasterFd() const { return master_; }
    // Readable when the PC side has opened or closed the device since PcOpenings last looked.
    int OpeningsFd() const { return notify_; }

    // Reads what is waiting, without blocking: the count of bytes, 0 when nothing waits, -1
    // when the line is gone.
    ssize_t ReadAvailable(uint8_t *buffer, size_t capacity);

    // Writes one byte towards the PC without blocking. False when the line is gone or the PC's
    // input queue is full (a PC that never reads).
    bool Write(uint8_t byte);

    // What the PC side has set on the line, read in one go so that both belong together.
    struct PcSettings {
        // True while the PC side echoes what it receives: it has not put the line into raw mode
        // (not yet opened it, or closed it and restored the settings). Answers are not sent then.
        bool echoes = false;
        // The output speed in bit/s; 0 when unknown or while the PC echoes (its speed then says
        // nothing about how the download's bytes were sent).
        uint32_t bit_rate = 0;
    };
    PcSettings Settings() const;
    bool Echoes() const { return Settings().echoes; }

    // Bytes written by the phone that the PC has not read yet.
    size_t Unread() const;

    // Whether the PC holds the line exclusively (its port is open); nothing when unknown.
    std::optional<bool> HeldExclusively() const;

    // How often the PC side has opened and closed the line's device so far, taken from the file
    // system's notifications (the phone's own descriptor is not counted). A PC has let go of the
    // line once it has closed it as often as it opened it and no descriptor but the phone's own
    // has the device open any more. The second test is needed because two opens in a row that
    // are not read in between count once (the notifications merge): a PC that opens the device
    // twice (as Wine does) would otherwise look gone at its first close, when the phone is slow
    // to read. The open files are looked through only when the counts say the PC has let go, and
    // again only after the next notification.
    struct Openings {
        uint64_t opens = 0;
        uint64_t closes = 0;
        bool held_elsewhere = false;  // found open by another descriptor despite the counts
        bool LetGo() const { return opens > 0 && closes >= opens && !held_elsewhere; }
    };
    Openings PcOpenings();

    // The line vanishes: the master is closed, so the PC's side hangs up, and the link goes.
    void Unplug();

  private:
    PtyLine() = default;
    void RemoveLink();

    int master_ = -1;
    int slave_ = -1;
    int notify_ = -1;  // open and close notifications of the slave device
    Openings openings_;
    bool openers_looked_at_ = false;  // held_elsewhere is up to date with the notifications
    int port_ = 0;
    std::string slave_path_;
    std::string link_path_;
};

}  // namespace dekvanto::sim
