#include "core/window/string_table.h"

#include <array>
#include <cstdio>
#include <utility>

#include "dekvanto/mx40.h"

namespace dekvanto::core {
namespace {

using Entry = std::pair<StringId, std::string_view>;

constexpr std::array kEntries{
    Entry{StringId::kStartDownload, "&Start download"},
    Entry{StringId::kStopDownload, "&Stop download"},
    Entry{StringId::kDownloadCompleted,
          "------------------------DOWNLOAD COMPLETED--------------------------"},
    Entry{StringId::kDownloadError,
          "------------------------DOWNLOAD ERROR-----------------------------------"},
    Entry{StringId::kSelectApplicationFile, "Please Select Application file, Please!"},
    Entry{StringId::kSelectLoaderFile, "Please Select Loader file, Please!"},
    Entry{StringId::kNoWindows31, "This Application won't run on Windows 3.1!"},
    Entry{StringId::kByteCounterFormat, "Download : %ld bytes"},
    Entry{StringId::kDownloadCanceled,
          "------------------------DOWNLOAD CANCELED-----------------------------"},
    Entry{StringId::kComParamError,
          "------------------------Com Param Error--------------------------"},
    Entry{StringId::kFileParamError,
          "------------------------File Param Error--------------------------"},
    Entry{StringId::kParityNotSupported,
          "---------------------Parity not supported------------------------"},
    Entry{StringId::kSpeedNotSupported,
          "---------------------Speed not supported-------------------------"},
    Entry{StringId::kWaitStateNotSupported,
          "-------------------Waitstate not supported ----------------------"},
    Entry{StringId::kErrorOpeningComPort,
          "---------------------Error opening com port----------------------"},
    Entry{StringId::kRamSizeNotSupported,
          "--------------------- Ram Size not supported----------------------"},
    Entry{StringId::kErrorOpeningApplicationFile,
          "------------------Error opening application file---------------------"},
    Entry{StringId::kErrorOpeningLoaderFile,
          "------------------Error opening loader file----------------------"},
    Entry{StringId::kNoMemoryApplicationFile,
          "-------------Not enough memory for application file--------------"},
    Entry{StringId::kNoMemoryLoaderFile,
          "---------------Not enough memory for loader file-----------------"},
    Entry{StringId::kErrorReadingApplicationFile,
          "----------------Error reading application file-------------------"},
    Entry{StringId::kErrorReadingLoaderFile,
          "-------------------Error reading loader file---------------------"},
    Entry{StringId::kDownloadErrorUnknown,
          "------------------------DOWNLOAD ERROR  UNKNOWN------------------"},
    Entry{StringId::kAboutMenuEntry, "About DEK VANTO..."},
    Entry{StringId::kNoStartStopFunction, "Sorry mxl40_StartStop() function doesn't exist !"},
    Entry{StringId::kNoDownloadFunction, "Sorry mxl40_Download() function doesn't exist"},
    Entry{StringId::kNoInitFunction, "Sorry mxl40_Init() function doesn't exist"},
    Entry{StringId::kNotSynchronized,
          "-------------- Mobile and PC can't be synchronized -------------------"},
    Entry{StringId::kErrorOpenPersoFile, "Error Open Perso File!"},
    Entry{StringId::kDataFullySent,
          "------------------------ DATA FULLY SENT --------------------------"},
    Entry{StringId::kMappingIncompatible,
          "----- Mapping Compatibility error between code and Perso ! -----"},
    Entry{StringId::kMappingNoCodeFile,
          "----- Code File Not found to check mapping Compatibility ! -----"},
    Entry{StringId::kMappingNoPersoFile,
          "----- Perso File Not found to check mapping Compatibility ! -----"},
    Entry{StringId::kMappingOk, "Mapping compatibility is OK, domwnload start."},
    Entry{StringId::kMappingNotFound, "---- Mapping Not Found ! ----"},
    Entry{StringId::kNotAcknowledged,
          "-------------- Not acknowledge,  Connection lost -------------------"},
    Entry{StringId::kBadAcknowledge,
          "-------------- Bad acknowledge,  Connection lost -------------------"},

    Entry{StringId::kEngineLibraryMissing, "Sorry " MX40_LIBRARY_FILE_NAME " doesn't exist !"},
    Entry{StringId::kStopBeforeQuit, "Stop the Downloader Before to Quit this Application!"},
    Entry{StringId::kNotEnoughMemory, "Sorry Not Enough Memory!"},
    Entry{StringId::kBadReadingFile, "Sorry Bad Reading File!"},
    Entry{StringId::kErrorOpenApplicationFile, "Error Open Application File!"},
    Entry{StringId::kErrorOpenPersonalizationFile, "Error open Personalization File !"},
    Entry{StringId::kNoCheckMapCompatFunction, "Sorry CheckMapCompat() function doesn't exist"},
    Entry{StringId::kPortNameWithoutNumber,
          "Sorry the port %s has no number after COM, please choose a COM port!"},
};

}  // namespace

std::string_view AppString(StringId id) {
    for (const auto &[entry_id, text] : kEntries) {
        if (entry_id == id) {
            return text;
        }
    }
    return {};
}

std::string_view AppString(int id) {
    return AppString(static_cast<StringId>(id));
}

std::string ByteCounterText(long count) {
    char text[64];
    std::snprintf(text, sizeof text, "Download : %ld bytes", count);
    return text;
}

}  // namespace dekvanto::core
