// The values of the index settings: download speed, parity, stop bits, data bits, phone memory
// bus width and wait states, each in its list order.
//
// A setting holds a position in its list (0 = the first value; -1 when the Settings dialog's list
// had no selection). The position is what the settings file stores and what the engine receives;
// the engine turns it into the physical value. Every value has two spellings: the Settings
// dialog's list entry ("57600 Bds", "NOPARITY", "8   Bits", ...) and the word the command line
// takes for it ("57600", "none", "8", ...). A word that is not in the list is unknown: it is
// refused, never taken for a neighbouring value.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dekvanto/mx40_speeds.h"

namespace dekvanto::core {

struct SettingValue {
    std::string_view entry;  // the Settings dialog's list entry
    std::string_view word;   // the command line's word for it
};

// One setting's values in list order.
struct SettingValues {
    std::span<const SettingValue> values;

    std::size_t Count() const { return values.size(); }
    // The position of the value spelled `word` on the command line, or nothing for an unknown
    // word (compared exactly).
    std::optional<int32_t> IndexOfWord(std::string_view word) const;
    // The command line's word for a position, or nothing for a position outside the list.
    std::optional<std::string_view> WordAt(int32_t index) const;
    // The accepted words in list order, for a command-line check and its help.
    std::vector<std::string> Words() const;
};

// The download speeds of the engine's table (dekvanto/mx40_speeds.h): "57600 Bds" and "57600".
#define DEKVANTO_SPEED_VALUE(rate) SettingValue{#rate " Bds", #rate},
inline constexpr std::array kSpeedList = {MX40_SPEEDS(DEKVANTO_SPEED_VALUE)};
#undef DEKVANTO_SPEED_VALUE
// The bit rate of each speed, in list order.
#define DEKVANTO_SPEED_RATE(rate) int64_t{rate},
inline constexpr std::array kSpeedRates = {MX40_SPEEDS(DEKVANTO_SPEED_RATE)};
#undef DEKVANTO_SPEED_RATE
inline constexpr std::array<SettingValue, 3> kParityList = {
    {{"NOPARITY", "none"}, {"ODDPARITY", "odd"}, {"EVENPARITY", "even"}}};
inline constexpr std::array<SettingValue, 2> kStopBitList = {{{"1 Bit", "1"}, {"2 Bits", "2"}}};
// Eight data bits is the only choice; kept and shown, never passed to the engine.
inline constexpr std::array<SettingValue, 1> kDataBitList = {{{"8 Bits", "8"}}};
inline constexpr std::array<SettingValue, 2> kBusWidthList = {
    {{"8   Bits", "8"}, {"16 Bits", "16"}}};
inline constexpr std::array<SettingValue, 4> kWaitStateList = {
    {{"0 Wait State", "0"}, {"1 Wait State", "1"}, {"2 Wait States", "2"}, {"3 Wait States", "3"}}};

inline constexpr SettingValues kSpeeds{kSpeedList};          // "Setting"/"Speed"
inline constexpr SettingValues kParities{kParityList};       // "Setting"/"Parity"
inline constexpr SettingValues kStopBits{kStopBitList};      // "Setting"/"StopBit"
inline constexpr SettingValues kDataBits{kDataBitList};      // "Setting"/"BitChar"
inline constexpr SettingValues kBusWidths{kBusWidthList};    // "Setting"/"RamSize"
inline constexpr SettingValues kWaitStates{kWaitStateList};  // "Setting"/"RamWaitState"

}  // namespace dekvanto::core
