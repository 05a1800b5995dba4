#include "core/bench/unit_checks.h"

#include "core/records/file_digest.h"

namespace dekvanto::core {
namespace {

std::string FileWords(const SentFile &file) {
    const std::string what = file.role == "perso" ? "personalization file" : file.role + " file";
    return "the " + what + " " + file.path;
}

}  // namespace

std::optional<std::string> ChangedFile(const std::vector<SentFile> &files) {
    for (const SentFile &file : files) {
        const std::optional<FileDigest> now = DigestFile(file.path);
        if (!now) {
            return FileWords(file) + " can no longer be read";
        }
        if (now->size != file.size || now->sha256 != file.sha256) {
            return FileWords(file) + " has changed since the bench started";
        }
    }
    return std::nullopt;
}

std::optional<std::string> PortMoved(std::string_view port, const std::string &started,
                                     const std::string &now) {
    if (now == started) {
        return std::nullopt;
    }
    const std::string was = started.empty() ? "no device" : started;
    const std::string is = now.empty() ? "no device" : now;
    return std::string(port) + " now leads to " + is + ", not to " + was +
           " as when the station started";
}

}  // namespace dekvanto::core
