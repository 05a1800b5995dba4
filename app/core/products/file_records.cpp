#include "core/products/file_records.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/window/string_table.h"

namespace dekvanto::core {
namespace {

constexpr std::string_view kPathSection = "PathOption";

// The largest code file the engine can send: its size frame carries four bytes. A larger file
// cannot be held for a download, which is what the summary says of it.
constexpr int64_t kLargestCodeFile = 0xFFFFFFFF;
constexpr std::size_t kSumPiece = 64 * 1024;

// The checksum of the file's next `size` bytes, read piece by piece so that a large file never
// has to fit into memory at once; nothing when fewer bytes could be read.
std::optional<uint16_t> SumOfFile(ReadOnlyFile &file, int64_t size) {
    std::vector<uint8_t> piece(kSumPiece);
    uint16_t sum = 0;
    for (int64_t left = size; left > 0;) {
        const std::size_t wanted =
            static_cast<std::size_t>(std::min<int64_t>(left, static_cast<int64_t>(kSumPiece)));
        const std::size_t got = file.ReadUpTo(piece.data(), wanted);
        sum = AddToByteSum(sum, std::span<const uint8_t>(piece.data(), got));
        if (got < wanted) {
            return std::nullopt;
        }
        left -= static_cast<int64_t>(got);
    }
    return static_cast<uint16_t>(0xFFFF - sum);
}

}  // namespace

uint16_t AddToByteSum(uint16_t sum, std::span<const uint8_t> bytes) {
    for (const uint8_t byte : bytes) {
        sum = static_cast<uint16_t>(sum + byte);
    }
    return sum;
}

uint16_t Sum16(std::span<const uint8_t> bytes) {
    return static_cast<uint16_t>(0xFFFF - AddToByteSum(0, bytes));
}

std::string SizeText(int64_t size) {
    char text[40];
    std::snprintf(text, sizeof text, "%lld Bytes", static_cast<long long>(size));
    return text;
}

std::string ChecksumText(uint16_t sum) {
    char text[8];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(sum));
    return text;
}

bool FileChanged(const std::string &path, int64_t size, std::optional<int64_t> modified_ns) {
    const auto file = ReadOnlyFile::Open(path);
    if (!file) {
        return true;
    }
    const auto status = file->Status();
    if (!status) {
        return false;
    }
    return status->size != size || (modified_ns && status->modified_ns != *modified_ns);
}

FileRecords::FileRecords(ShowMessage show_message) : show_message_(std::move(show_message)) {}

void FileRecords::Show(std::string_view text) const {
    if (show_message_) {
        show_message_(text);
    }
}

void FileRecords::LoadFilePaths(SettingsStore &store) {
    code.path = store.ReadText(kPathSection, "AppFilePath", "");
    loader.path = store.ReadText(kPathSection, "LoadFilePath", "");
    perso.path = store.ReadText(kPathSection, "PersoFilePath", "");
}

void FileRecords::SaveFilePaths(SettingsStore &store) const {
    store.WriteText(kPathSection, "AppFilePath", code.path);
    store.WriteText(kPathSection, "LoadFilePath", loader.path);
    store.WriteText(kPathSection, "PersoFilePath", perso.path);
}

bool FileRecords::SummariseCodeFile() {
    auto file = ReadOnlyFile::Open(code.path);
    if (!file) {
        code.path.clear();
        code.size_text.clear();
        code.checksum_text.clear();
        code.size = 0;
        code.modified_ns.reset();
        return false;
    }
    code.path = FullPath(code.path);
    const auto status = file->Status();
    if (!status) {
        code.size_text.clear();
        code.checksum_text.clear();
        code.modified_ns.reset();
        return true;
    }
    code.size = status->size;
    code.size_text = SizeText(status->size);
    code.modified_ns = status->modified_ns;
    if (status->size < 0 || status->size > kLargestCodeFile) {
        Show(AppString(StringId::kNotEnoughMemory));
        code.checksum_text.clear();
        return true;
    }
    const std::optional<uint16_t> sum = SumOfFile(*file, status->size);
    if (!sum) {
        Show(AppString(StringId::kBadReadingFile));
        code.checksum_text.clear();
        return true;
    }
    code.checksum_text = ChecksumText(*sum);
    return true;
}

bool FileRecords::SummariseLoaderFile() {
    const auto file = ReadOnlyFile::Open(loader.path);
    if (!file) {
        loader.path.clear();
        loader.size = 0;
        loader.size_text.clear();
        loader.modified_ns.reset();
        return false;
    }
    loader.path = FullPath(loader.path);
    if (const auto status = file->Status()) {
        loader.size = status->size;
        loader.size_text = SizeText(status->size);
        loader.modified_ns = status->modified_ns;
    } else {
        loader.size_text.clear();
        loader.modified_ns.reset();
    }
    return true;
}

bool FileRecords::SummarisePersoFile() {
    const auto file = ReadOnlyFile::Open(perso.path);
    if (!file) {
        perso.path.clear();
        perso.size_text.clear();
        return false;
    }
    perso.path = FullPath(perso.path);
    const auto status = file->Status();
    perso.size_text = status ? SizeText(status->size) : std::string();
    return true;
}

void FileRecords::SummariseAllFiles(SettingsStore &store) {
    if (!SummariseCodeFile()) {
        code.path = store.ReadText(kPathSection, "AppFileName", "");
        SummariseCodeFile();
    }
    if (!SummariseLoaderFile()) {
        loader.path = store.ReadText(kPathSection, "LoadFileName", "");
        SummariseLoaderFile();
    }
    if (!SummarisePersoFile()) {
        perso.path = store.ReadText(kPathSection, "PersoFileName", "");
        SummarisePersoFile();
    }
}

bool FileRecords::ChooseCodeFile(const std::string &chosen, SettingsStore &store) {
    if (!ReadOnlyFile::Open(chosen)) {
        Show(AppString(StringId::kErrorOpenApplicationFile));
        return false;
    }
    code.path = chosen;
    SummariseCodeFile();
    SaveFilePaths(store);
    return true;
}

bool FileRecords::ChoosePersoFile(const std::string &chosen, SettingsStore &store) {
    if (!ReadOnlyFile::Open(chosen)) {
        Show(AppString(StringId::kErrorOpenPersonalizationFile));
        return false;
    }
    perso.path = chosen;
    SummarisePersoFile();
    SaveFilePaths(store);
    return true;
}

bool FileRecords::OnFileWatch() {
    bool refreshed = false;
    if (FileChanged(code.path, code.size, code.modified_ns)) {
        SummariseCodeFile();
        refreshed = true;
    }
    if (FileChanged(loader.path, loader.size, loader.modified_ns)) {
        SummariseLoaderFile();
        refreshed = true;
    }
    return refreshed;
}

}  // namespace dekvanto::core
