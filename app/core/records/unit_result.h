// How a unit of a production bench came out, in the words that follow its station and number on
// the bench's permanent line ("COM3 #12 PASS 57.1 s", "COM4 #13 FAIL no acknowledgement in the
// code file"). Every front end that follows a bench (the command-line bench, a window reading its
// events) tells a unit's outcome with these words, so they are made here and nowhere else.
//
// A failure of the line itself (no or bad acknowledgement, no synchronisation, a port that
// failed) is told with the stage it happened in; any other failure with its result line.
#pragma once

#include <string>
#include <vector>

#include "core/download/download_outcome.h"

namespace dekvanto::core {

// Where a download was when it ended: at the line setup (before the engine named any file), or
// in the file that the engine's log named last with "Download <path>".
enum class DownloadStage { kLineSetup, kLoader, kCode, kPerso };

// The paths as the download control hands them to the engine, which names them in its log. An
// empty path is a file that is not sent.
struct StagePaths {
    std::string loader;
    std::string code;
    std::string perso;
};

// The stage that a download's log lines show it reached.
DownloadStage StageOf(const std::vector<std::string> &log, const StagePaths &paths);

// Why a download did not finish: "no acknowledgement in the code file", "bad acknowledgement at
// the line setup", "no synchronisation in the personalization file", "port failure in the
// loader", or for any other outcome its result line without the dashes ("Error opening
// application file").
std::string FailureReason(const DownloadOutcome &outcome, DownloadStage stage, bool acknowledged);

// "PASS 57.1 s" for a finished download, "STOPPED 3.0 s" for a stopped one, else "FAIL " and
// the failure's reason.
std::string UnitResultText(const DownloadOutcome &outcome, DownloadStage stage, bool acknowledged);

}  // namespace dekvanto::core
