#include "report/engine_texts.h"

namespace dekvanto::engine {

const char *EngineText(int id) {
    switch (id) {
        case kTextOpenPort:
            return "Open COM%d";
        case kTextClosePort:
            return "Close COM%d";
        case kTextSetSpeed:
            return "Set Speed (%d)";
        case kTextDownloadFile:
            return "Download %s";
        case kTextStartingTime:
            return "Starting Time : %X ";
        case kTextFinishTime:
            return "Finish Time : %X .";
        case kTextTotalTime:
            return "Total : %M Min %S sec";
        case kTextOpenError:
            return "Error Open COM port";
        case kTextGetTimeouts:
            return "GetCommTimeouts";
        case kTextSetTimeouts:
            return "SetCommTimeouts";
        case kTextConfiguration:
            return "Error in COM port Configuration:  \n Speed not supported by this COM";
        case kTextSpeedNotSupported:
            return "Speed not supported";
        case kTextDtr:
            return "EscapeCommFunction (SETDTR)";
        case kTextRestoreTimeouts:
            return "SetCommTimeouts (Restoration to original)";
        case kTextPurge:
            return "PurgeComm";
        case kTextPromptCodeFile:
            return "Hit return to start application file download !!!";
        case kTextPromptPersoFile:
            return "Hit return to start personalisation File Download !!!";
        case kTextNoLoaderSync:
            return "No synchonisation with loader !!";
        case kTextNoDekeSync:
            return "No synchronisation with DEKE !!";
        case kTextWaitingReboot:
            return "Waiting DEKE Reboot (%d secondes)";
        case kTextStartFlashWriting:
            return " -> Starting Flash writing";
        case kTextStartErasing:
            return " -> Start End of Flash erasing";
        case kTextEndErasing:
            return " -> End of flash Erased";
        default:
            return "";
    }
}

}  // namespace dekvanto::engine
