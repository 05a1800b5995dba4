// The command line of a download of a sample set (loader, code and personalization file) to the
// given port or ports, and phones with faults, shared by the in-process and the as-a-process
// tests.
#pragma once

#include <string>
#include <vector>

#include "dekvanto/firmware_image.h"
#include "sim/faults.h"
#include "sim/phone_simulator.h"

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

// The phone with one more fault, written as the simulator's --fault takes it ("silent@code-size").
inline dekvanto::sim::PhoneConfig WithFault(dekvanto::sim::PhoneConfig phone,
                                            const std::string &fault) {
    std::string error;
    phone.faults.push_back(*dekvanto::sim::ParseFault(fault, error));
    return phone;
}

}  // namespace dekvanto::cli
