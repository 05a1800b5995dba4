// The working state of one download, shared by the loader stage and the flash stage, and the
// small steps both stages are made of.
#pragma once

#include <cstdint>
#include <memory>

#include "clock/clock.h"
#include "dekvanto/mx40.h"
#include "files/file_source.h"
#include "frames/frames.h"
#include "line/com_error.h"
#include "line/serial_line.h"
#include "report/download_report.h"
#include "stages/download_flags.h"
#include "window/window.h"

namespace dekvanto::engine {

// Bits of the file flags: which files follow the loader.
inline constexpr uint32_t kCodeFileFlag = 0x01;
inline constexpr uint32_t kPersoFileFlag = 0x02;

// A file of the download, read whole into memory.
struct FileImage {
    std::unique_ptr<InputFile> file;
    MemoryBlock data{nullptr, [](uint8_t *block) { delete[] block; }};
    uint32_t size = 0;

    void Release() {
        data.reset();
        file.reset();
    }
};

// What a download runs on: the port, the clocks, the caller's window, the files and memory, and
// the engine-wide flags.
struct DownloadServices {
    LinePort &port;
    Clock &clock;
    Window &window;
    FileSource &files;
    DownloadFlags &flags;
};

struct DownloadJob {
    DownloadJob(const DownloadServices &services, Mx40Settings &settings_record,
                const Mx40Files &file_record, const Mx40Options &option_record);

    Mx40Settings &settings;
    const Mx40Files &files;
    const Mx40Options &options;
    DownloadFlags &flags;
    Window &window;
    Clock &clock;
    FileSource &file_source;
    ComError com_error;
    SerialLine line;
    DownloadReport report;

    uint32_t file_flags = 0;
    uint8_t frame[kFrameBufferSize] = {};
    uint32_t frame_length = 0;
    FileImage loader;
    FileImage code;
    FileImage perso;
    uint16_t code_sum = 0xFFFF;

    bool Acknowledged() const { return options.Acknowledge == 1; }
    bool StepMode() const { return options.Pause == 1; }
    bool Running() const { return flags.running != 0; }
};

// Ends the download with result: closes the line, logs "Close COM<n>" when log_close is set, and
// returns result. Files and memory go with the job.
int32_t EndDownload(DownloadJob &job, int32_t result, bool log_close = true);
// Ends the download after a stop: like EndDownload(job, '3'); with report_bytes the byte count
// goes out first.
int32_t EndStopped(DownloadJob &job, bool report_bytes = false);
// Writes the frame built in job.frame. False when the line did not take every byte. The frame may
// still be on its way when this returns.
bool SendFrame(DownloadJob &job);
// Waits until everything written has left the line, before a pause that the phone needs after
// the bytes and before the end. 0, or the download ended with '9' when the line failed (the way
// an adapter pulled out shows in blind mode).
int32_t DrainLine(DownloadJob &job);
// Reads count acknowledgements, one byte each: 0 when all were 0x06, else 'F' + the first
// failing answer ('G' wrong byte, 'H' nothing).
int32_t ReadAcknowledgements(DownloadJob &job, uint32_t count);
// A pause that keeps the window alive; true when it ended early (stop or quit request).
bool PauseInterrupted(DownloadJob &job, uint32_t ms);

// Sends a whole image in blocks of at most block_max bytes (short frames of the loader, long
// frames of the files) and reads the acknowledgements in groups of at most group blocks.
// Returns 0, or the result with which the download has been ended. stop_reports_bytes: a stop
// sends the byte count before "Close COM<n>".
int32_t SendImageBlocks(DownloadJob &job, const FileImage &image, uint32_t block_max,
                        uint32_t group, bool stop_reports_bytes);

// The two halves of a download; each returns 0 to go on or the download's result, with the line
// already closed.
int32_t RunLoaderStage(DownloadJob &job);
int32_t RunFlashStage(DownloadJob &job);

}  // namespace dekvanto::engine
