// The engine's string table: every text that the engine shows or logs, by numeric identifier.
#pragma once

namespace dekvanto::engine {

enum TextId : int {
    kTextOpenPort = 1,            // "Open COM%d"
    kTextClosePort = 2,           // "Close COM%d"
    kTextSetSpeed = 3,            // "Set Speed (%d)"
    kTextDownloadFile = 4,        // "Download %s"
    kTextStartingTime = 5,        // "Starting Time : %X "
    kTextFinishTime = 6,          // "Finish Time : %X ."
    kTextTotalTime = 7,           // "Total : %M Min %S sec"
    kTextOpenError = 10,          // port could not be opened
    kTextGetTimeouts = 11,        // reading the port's time-outs failed
    kTextSetTimeouts = 12,        // setting time-outs failed
    kTextConfiguration = 13,      // line settings refused
    kTextSpeedNotSupported = 14,  // speed index outside the table
    kTextDtr = 15,                // raising or dropping DTR failed
    kTextRestoreTimeouts = 16,    // putting the port's settings back failed
    kTextPurge = 17,              // final purge failed
    kTextPromptCodeFile = 23,     // step mode, before the code file
    kTextPromptPersoFile = 24,    // step mode, before the personalization file
    kTextNoLoaderSync = 27,       // no '8' from the loader
    kTextNoDekeSync = 28,         // no '8' from the resident boot loader
    kTextWaitingReboot = 29,      // "Waiting DEKE Reboot (%d secondes)"
    kTextStartFlashWriting = 31,  // " -> Starting Flash writing"
    kTextStartErasing = 32,       // " -> Start End of Flash erasing"
    kTextEndErasing = 33,         // " -> End of flash Erased"
};

// The text with this identifier, or an empty text for an unknown identifier.
const char *EngineText(int id);

}  // namespace dekvanto::engine
