#include "sim/faults.h"

#include <array>
#include <charconv>
#include <cstdio>

namespace dekvanto::sim {
namespace {

struct SpotName {
    Spot spot;
    const char *name;
    bool numbered;
};

constexpr std::array<SpotName, 15> kSpotNames{{
    {Spot::kLineFrame, "line", false},
    {Spot::kLoaderBlock, "loader-block", true},
    {Spot::kCodeSize, "code-size", false},
    {Spot::kCodeBlock, "code-block", true},
    {Spot::kChecksum, "checksum", false},
    {Spot::kPersoSize, "perso-size", false},
    {Spot::kPersoBlock, "perso-block", true},
    {Spot::kLoaderReady, "loader-ready", false},
    {Spot::kEraseStart, "erase-start", false},
    {Spot::kEraseEnd, "erase-end", false},
    {Spot::kDekeReady, "deke-ready", false},
    {Spot::kPersoDone, "perso-done", false},
    {Spot::kLoaderFile, "loader", false},
    {Spot::kCodeFile, "code", false},
    {Spot::kPersoFile, "perso", false},
}};

struct KindName {
    FaultKind kind;
    const char *name;
};

constexpr std::array<KindName, 7> kKindNames{{
    {FaultKind::kWrongAck, "nak"},
    {FaultKind::kNoAck, "silent"},
    {FaultKind::kWrongSync, "badsync"},
    {FaultKind::kNoSync, "nosync"},
    {FaultKind::kDelay, "delay"},
    {FaultKind::kWithhold, "withhold"},
    {FaultKind::kUnplug, "unplug"},
}};

bool IsAnswerSpot(Spot spot) {
    return spot <= Spot::kPersoBlock;
}

bool IsSyncSpot(Spot spot) {
    return spot >= Spot::kLoaderReady && spot <= Spot::kPersoDone;
}

bool IsFileSpot(Spot spot) {
    return spot >= Spot::kLoaderFile;
}

// Decimal or 0x-prefixed hexadecimal, the whole text, no sign.
std::optional<uint32_t> ParseNumber(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<Place> ParsePlace(std::string_view text, std::string &error) {
    std::string_view name = text;
    std::string_view number;
    if (const auto colon = text.find(':'); colon != std::string_view::npos) {
        name = text.substr(0, colon);
        number = text.substr(colon + 1);
    }
    for (const SpotName &entry : kSpotNames) {
        if (name != entry.name) {
            continue;
        }
        Place place{entry.spot, 0};
        if (!entry.numbered) {
            if (!number.empty()) {
                error = "place '" + std::string(name) + "' takes no block number";
                return std::nullopt;
            }
            return place;
        }
        const auto block = ParseNumber(number);
        if (!block || *block < 1 || *block > 1000000) {
            error = "place '" + std::string(name) + "' needs a block number from 1, as " +
                    std::string(name) + ":K";
            return std::nullopt;
        }
        place.block = static_cast<int>(*block);
        return place;
    }
    error = "unknown place '" + std::string(text) + "'";
    return std::nullopt;
}

std::optional<FaultKind> ParseKind(std::string_view text) {
    for (const KindName &entry : kKindNames) {
        if (text == entry.name) {
            return entry.kind;
        }
    }
    return std::nullopt;
}

std::string Hex(uint8_t byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

}  // namespace

uint8_t DefaultFaultByte(FaultKind kind) {
    return kind == FaultKind::kWrongSync ? 0x39 : 0x15;
}

FaultsHere FaultPlan::At(Place place) const {
    FaultsHere here;
    for (const Fault &fault : faults_) {
        if (!(fault.place == place)) {
            continue;
        }
        switch (fault.kind) {
            case FaultKind::kWrongAck:
            case FaultKind::kWrongSync:
                here.replacement = fault.byte != 0 ? fault.byte : DefaultFaultByte(fault.kind);
                break;
            case FaultKind::kNoAck:
            case FaultKind::kNoSync:
                here.silent = true;
                break;
            case FaultKind::kDelay:
                here.delay_ms += fault.delay_ms;
                break;
            case FaultKind::kUnplug:
                here.unplug = true;
                break;
            case FaultKind::kWithhold:
                break;
        }
    }
    return here;
}

bool FaultPlan::Withholds(Spot file) const {
    for (const Fault &fault : faults_) {
        if (fault.kind == FaultKind::kWithhold && fault.place.spot == file) {
            return true;
        }
    }
    return false;
}

std::string FaultMisfit(const Fault &fault) {
    const Spot spot = fault.place.spot;
    switch (fault.kind) {
        case FaultKind::kWrongAck:
        case FaultKind::kNoAck:
            if (!IsAnswerSpot(spot)) {
                return "nak and silent go with a frame's answer (line, loader-block:K, code-size, "
                       "code-block:K, checksum, perso-size, perso-block:K)";
            }
            if (fault.kind == FaultKind::kWrongAck && fault.byte == 0x06) {
                return "0x06 is the good acknowledgement, not a wrong one";
            }
            return "";
        case FaultKind::kWrongSync:
        case FaultKind::kNoSync:
            if (!IsSyncSpot(spot)) {
                return "badsync and nosync go with an '8' (loader-ready, erase-start, erase-end, "
                       "deke-ready, perso-done)";
            }
            if (fault.kind == FaultKind::kWrongSync && fault.byte == '8') {
                return "'8' is the good synchronisation character, not a wrong one";
            }
            return "";
        case FaultKind::kDelay:
        case FaultKind::kUnplug:
            return IsFileSpot(spot) ? "delay and unplug go with one answer or one '8', not a file"
                                    : "";
        case FaultKind::kWithhold:
            return IsFileSpot(spot) ? "" : "withhold goes with a whole file (loader, code, perso)";
    }
    return "unknown fault";
}

std::optional<Fault> ParseFault(std::string_view text, std::string &error) {
    const auto at = text.find('@');
    if (at == std::string_view::npos) {
        error = "fault '" + std::string(text) + "' is not KIND[=VALUE]@PLACE";
        return std::nullopt;
    }
    std::string_view kind_text = text.substr(0, at);
    std::string_view value_text;
    const bool has_value = kind_text.find('=') != std::string_view::npos;
    if (has_value) {
        value_text = kind_text.substr(kind_text.find('=') + 1);
        kind_text = kind_text.substr(0, kind_text.find('='));
    }
    const auto kind = ParseKind(kind_text);
    if (!kind) {
        error = "unknown fault kind '" + std::string(kind_text) +
                "' (nak, silent, badsync, nosync, delay, withhold, unplug)";
        return std::nullopt;
    }
    const auto place = ParsePlace(text.substr(at + 1), error);
    if (!place) {
        return std::nullopt;
    }
    Fault fault{*kind, *place, 0, 0};
    const bool takes_byte = *kind == FaultKind::kWrongAck || *kind == FaultKind::kWrongSync;
    if (*kind == FaultKind::kDelay) {
        const auto ms = has_value ? ParseNumber(value_text) : std::nullopt;
        if (!ms || *ms > 600000) {
            error = "delay needs milliseconds (0..600000), as delay=MS@PLACE";
            return std::nullopt;
        }
        fault.delay_ms = *ms;
    } else if (takes_byte && has_value) {
        const auto byte = ParseNumber(value_text);
        if (!byte || *byte > 0xFF) {
            error = "'" + std::string(value_text) + "' is not a byte value";
            return std::nullopt;
        }
        fault.byte = static_cast<uint8_t>(*byte);
    } else if (has_value) {
        error = std::string(kind_text) + " takes no value";
        return std::nullopt;
    }
    error = FaultMisfit(fault);
    if (!error.empty()) {
        return std::nullopt;
    }
    return fault;
}

std::string PlaceName(Place place) {
    for (const SpotName &entry : kSpotNames) {
        if (entry.spot == place.spot) {
            return entry.numbered ? std::string(entry.name) + ":" + std::to_string(place.block)
                                  : std::string(entry.name);
        }
    }
    return "?";
}

std::string FaultName(const Fault &fault) {
    std::string text;
    for (const KindName &entry : kKindNames) {
        if (entry.kind == fault.kind) {
            text = entry.name;
        }
    }
    if (fault.kind == FaultKind::kDelay) {
        text += "=" + std::to_string(fault.delay_ms);
    } else if (fault.kind == FaultKind::kWrongAck || fault.kind == FaultKind::kWrongSync) {
        text += "=" + Hex(fault.byte != 0 ? fault.byte : DefaultFaultByte(fault.kind));
    }
    return text + "@" + PlaceName(fault.place);
}

}  // namespace dekvanto::sim
