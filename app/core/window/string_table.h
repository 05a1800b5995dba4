// The application's string table: every text that DEKVANTO shows of its own (button texts, log
// lines, message boxes, menu entries), by numeric identifier.
//
// Identifiers 1 to 48 are the program's established numbers; front ends and log lists refer to
// them. Texts that have no established number (shown only in message boxes) are numbered from 200
// up. The texts are kept exactly as the program has always shown them, spelling included.
#pragma once

#include <string>
#include <string_view>

namespace dekvanto::core {

enum class StringId : int {
    kStartDownload = 1,                 // button 1 while idle
    kStopDownload = 2,                  // button 1 while an attempt runs
    kDownloadCompleted = 3,             // log: success in acknowledged mode
    kDownloadError = 4,                 // log: first line of most failures
    kSelectApplicationFile = 8,         // box: code switch on, no code file
    kSelectLoaderFile = 9,              // box: personalization switch on, no loader file
    kNoWindows31 = 10,                  // box: platform too old
    kByteCounterFormat = 14,            // byte counter, printf format with one long
    kDownloadCanceled = 15,             // log: stopped
    kComParamError = 16,                // log: settings record missing
    kFileParamError = 17,               // log: file record missing
    kParityNotSupported = 18,           // log
    kSpeedNotSupported = 19,            // log
    kWaitStateNotSupported = 20,        // log
    kErrorOpeningComPort = 21,          // log
    kRamSizeNotSupported = 22,          // log
    kErrorOpeningApplicationFile = 23,  // log
    kErrorOpeningLoaderFile = 24,       // log
    kNoMemoryApplicationFile = 25,      // log
    kNoMemoryLoaderFile = 26,           // log
    kErrorReadingApplicationFile = 27,  // log
    kErrorReadingLoaderFile = 28,       // log
    kDownloadErrorUnknown = 29,         // log: any result without a line of its own
    kAboutMenuEntry = 31,               // system menu entry of the About box
    kNoStartStopFunction = 33,          // box
    kNoDownloadFunction = 34,           // box
    kNoInitFunction = 35,               // box
    kNotSynchronized = 39,              // log
    kErrorOpenPersoFile = 40,           // log
    kDataFullySent = 41,                // log: success in blind mode
    kMappingIncompatible = 42,          // log
    kMappingNoCodeFile = 43,            // log
    kMappingNoPersoFile = 44,           // log
    kMappingOk = 45,                    // log: the download goes on
    kMappingNotFound = 46,              // log
    kNotAcknowledged = 47,              // log
    kBadAcknowledge = 48,               // log

    // Texts without an established number.
    kEngineLibraryMissing = 200,      // box at start-up; names this platform's library file
    kStopBeforeQuit = 201,            // box: close refused while a download runs
    kNotEnoughMemory = 202,           // box: the code file does not fit in memory for its checksum
    kBadReadingFile = 203,            // box: the code file could not be read whole
    kErrorOpenApplicationFile = 204,  // box: the chosen code file does not open
    kErrorOpenPersonalizationFile = 205,  // box: the chosen personalization file does not open
    kNoCheckMapCompatFunction = 206,      // box: the engine lacks its mapping check
    kPortNameWithoutNumber = 207,         // box, printf format with the port name (%s)
};

// The text of an identifier; empty for an identifier that the table does not hold.
std::string_view AppString(StringId id);
std::string_view AppString(int id);

// The byte counter's text for a count of bytes sent: "Download : <count> bytes".
std::string ByteCounterText(long count);

}  // namespace dekvanto::core
