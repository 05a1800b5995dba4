#include "bench_forwarder.h"

namespace dekvanto::cli {

std::unique_ptr<BenchForwarder> StartBenchForwarder(const std::string &, const std::string &,
                                                    Console &, std::string &refusal) {
    refusal =
        "--db is not available on Windows: run 'vanto records follow' for this record file "
        "on a Linux machine that reads it (README)";
    return nullptr;
}

}  // namespace dekvanto::cli
