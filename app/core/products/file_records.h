// The three files of a download, as the whole application shares them: the code file (.bin),
// the loader file and the personalization file (.psb), each with its path and the summary the
// main window shows ("<n> Bytes", and for the code file its checksum).
//
// Paths are stored in the settings file, section "PathOption": "AppFilePath", "LoadFilePath",
// "PersoFilePath" (read at start, written after a file is chosen). At start a path that does not
// open is replaced by its second path, "AppFileName", "LoadFileName" or "PersoFileName", read at
// start only and never written.
//
// The file watch refreshes the code and loader summaries when those files change on disk. A file
// counts as changed when it no longer opens, or when its size OR its modification time differs
// from the summarised one: POSIX has no exclusive open to notice a writer, and a same-size
// rewrite would otherwise leave a stale checksum on screen.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/files/read_only_file.h"
#include "core/settings/settings_store.h"

namespace dekvanto::core {

struct CodeFileRecord {
    std::string path;                    // full path; empty when none is usable
    int64_t size = 0;                    // bytes, from the file's status; 0 after a failed open
    std::string size_text;               // "<size> Bytes" or empty
    std::string checksum_text;           // Sum16 of the contents in upper-case hex ("%X"), or empty
    std::optional<int64_t> modified_ns;  // modification time of the summarised contents
};

struct LoaderFileRecord {
    std::string path;
    int64_t size = 0;
    std::string size_text;
    std::optional<int64_t> modified_ns;
};

struct PersoFileRecord {
    std::string path;
    std::string size_text;
};

// The main window's two check boxes: send the code file, send the personalization file. Not
// stored; every start begins with the code file on and the personalization file off.
struct DownloadSwitches {
    bool code = true;
    bool perso = false;
};

// 0xFFFF minus the sum of the bytes, modulo 65536: the code file's checksum as the phone gets it.
uint16_t Sum16(std::span<const uint8_t> bytes);
// The running sum behind Sum16, for contents taken piece by piece: sum plus the bytes, modulo
// 65536. The checksum of the whole is 0xFFFF minus the final sum.
uint16_t AddToByteSum(uint16_t sum, std::span<const uint8_t> bytes);
// "<size> Bytes".
std::string SizeText(int64_t size);
// The checksum in upper-case hexadecimal without leading zeros ("FED9", "0" for 0).
std::string ChecksumText(uint16_t sum);

// True when the file at path does not open, or its status differs from the recorded size or
// (when one was recorded) modification time.
bool FileChanged(const std::string &path, int64_t size, std::optional<int64_t> modified_ns);

class FileRecords {
  public:
    // Receives the texts of message boxes (code file too big for memory, short read, a chosen
    // file that does not open).
    using ShowMessage = std::function<void(std::string_view text)>;

    explicit FileRecords(ShowMessage show_message = {});

    CodeFileRecord code;
    LoaderFileRecord loader;
    PersoFileRecord perso;

    // Reads the three paths ("PathOption", default empty). Summaries are untouched.
    void LoadFilePaths(SettingsStore &store);
    // Writes the code, loader and personalization paths, in this order.
    void SaveFilePaths(SettingsStore &store) const;

    // Summaries. Each returns false when the file does not open; its path and summary are then
    // emptied (the code and loader sizes become 0). When it opens, the path becomes its full
    // path. The code file is read to its end for its checksum, in pieces, so that its size does
    // not have to fit into memory: a file larger than a download can carry (4 GiB - 1 bytes, the
    // most a size frame announces) shows "Sorry Not Enough Memory!", a short read "Sorry Bad
    // Reading File!"; either leaves the checksum empty and the result true.
    bool SummariseCodeFile();
    bool SummariseLoaderFile();
    bool SummarisePersoFile();
    // Start: each file summarised, and on failure summarised again from its second path.
    void SummariseAllFiles(SettingsStore &store);

    // A code or personalization file chosen in the file dialog. When it does not open, the
    // matching message ("Error Open Application File!", "Error open Personalization File !") is
    // shown, nothing changes and the result is false. Otherwise it becomes the file, is
    // summarised, the three paths are saved, and the result is true (the caller then refreshes
    // the window and restarts the file watch).
    bool ChooseCodeFile(const std::string &chosen, SettingsStore &store);
    bool ChoosePersoFile(const std::string &chosen, SettingsStore &store);

    // One tick of the file watch: the code file, then the loader file, summarised again when
    // changed. True when a summary was redone (the caller refreshes the window). The
    // personalization file is not watched.
    bool OnFileWatch();

  private:
    void Show(std::string_view text) const;

    ShowMessage show_message_;
};

}  // namespace dekvanto::core
