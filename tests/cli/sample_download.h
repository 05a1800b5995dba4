// The command line of a download of a sample set (loader, code and personalization file) to the
// given port or ports, shared by the in-process and the as-a-process tests.
#pragma once

#include <string>
#include <vector>

#include "dekvanto/firmware_image.h"

namespace dekvanto::cli {

inline std::vector<std::string> SampleDownloadArgs(const dekvanto::image::SampleSetPaths &paths,
                                                   const std::string &ports) {
    return {"download",
            "--port",
            ports,
            "--loader",
            paths.loader.string(),
            "--code",
            paths.code.string(),
            "--perso",
            paths.perso.string()};
}

}  // namespace dekvanto::cli
