// dekvanto-bundle-files: writes the files that the dekvanto program reads beside itself into a
// folder (the build's program folder), so that a build runs as it stands:
//   dekvanto.cfg      a product list with two sample phone models
//   vanto_loader.bin  the sample loader program that both models name
//   DEKVANTO.VRS      the version file, release number from the command line
// Usage: dekvanto-bundle-files <folder> <version text>    (version text such as A-000-01-00)
// Existing files are replaced; the settings file is never touched.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "core/products/version_file.h"
#include "core/settings/program_folder.h"
#include "dekvanto/firmware_image.h"

namespace {

constexpr const char *kProductList =
    "# Phone models known to DEKVANTO, one a line:\n"
    "#   \"name\"  loader file  bus width in bits  wait states  flags (1: takes a .psb file)\n"
    "\"VANTO 16 bits\"      vanto_loader.bin  16  1  1\n"
    "\"VANTO 8 bits lite\"  vanto_loader.bin   8  0  0\n";

bool WriteFile(const std::filesystem::path &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: dekvanto-bundle-files <folder> <version text>\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const std::string version =
        dekvanto::core::VersionFileBytes(argv[2], "DEK VANTO firmware downloader", "");
    dekvanto::image::LoaderImageSpec loader;
    loader.size = 2048;
    bool written = WriteFile(folder / dekvanto::core::kProductListFileName, kProductList) &&
                   WriteFile(folder / dekvanto::core::kVersionFileName, version);
    try {
        dekvanto::image::WriteImage(folder / "vanto_loader.bin",
                                    dekvanto::image::BuildLoaderImage(loader));
    } catch (const std::exception &) {
        written = false;
    }
    if (!written) {
        std::fprintf(stderr, "dekvanto-bundle-files: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
