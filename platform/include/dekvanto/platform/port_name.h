// A serial port's name as users give it, "COM" and the port's number ("COM3", "COM12"), and the
// device that the port opens on this machine.
//
// Every name a user gives (the command line's ports, a bench's ports and its operator's lines,
// the port register's entries, the records' station filter) is read here and nowhere else. Only
// the main window's Settings dialog and download keep the settings file's older, looser reading
// of the port text that the file stores.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dekvanto::platform {

// The largest port number a name may carry (five digits).
inline constexpr int kHighestPortNumber = 99999;

class PortName {
  public:
    // How the letters "COM" may be written.
    enum class Letters {
        kCapitals,  // "COM" only: the form of a command line, a set-up file and a register entry
        kAnyCase,   // "com", "Com", ... as an operator types a line at the bench
    };

    // A name: the letters "COM", then the number from 1 to kHighestPortNumber in decimal digits
    // without a leading zero, and nothing else. "COM3" and "COM99999" are names; "COM", "COM0",
    // "COM03", "COM 3", "COM3x", "COM-1", "COM123456" and "PORT1" are not, nor is "com3" unless
    // letters is kAnyCase.
    static std::optional<PortName> Parse(std::string_view text,
                                         Letters letters = Letters::kCapitals);

    // The port of a number from 1 to kHighestPortNumber; nothing for any other number.
    static std::optional<PortName> OfNumber(int number);

    int Number() const { return number_; }

    // The name in its one written form, "COM" in capitals and the number: "COM3".
    std::string Text() const { return "COM" + std::to_string(number_); }

    // Two names are the same port when their numbers are: "com3" typed is "COM3".
    bool operator==(const PortName &) const = default;

    // Whether two texts name one port, the letters of either in any case ("com3" and "COM3");
    // false when either names none.
    static bool NamesOfOnePort(std::string_view a, std::string_view b);

  private:
    explicit PortName(int number) : number_(number) {}

    int number_;
};

// The device that port COM<number> opens. POSIX: its entry in the port register (port_register.h)
// when there is one, else the kernel's serial port /dev/ttyS<number - 1>. Windows: \\.\COM<number>,
// the system's name of the device that a driver provides for COM<number>. Nothing for a number
// below 1.
std::optional<std::string> DeviceForPort(int number);

// The device that the port opens, as above.
std::string DeviceForPort(const PortName &port);

}  // namespace dekvanto::platform
