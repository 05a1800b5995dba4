/* A C caller of the engine library that knows nothing but the shared header: it loads the
 * library by its file name, looks the four functions and the trace hook up by name and checks the
 * answers that need no phone. Argument: the path of the built library (its directory is used). */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "dekvanto/mx40.h"

static int failures = 0;

static void expect(int condition, const char *what) {
    if (!condition) {
        fprintf(stderr, "FAILED: %s\n", what);
        ++failures;
    }
}

int main(int argc, char **argv) {
    char path[4096];
    const char *slash;
    void *library;
    Mxl40_Init_Fn init;
    Mxl40_StartStop_Fn start_stop;
    Mxl40_Download_Fn download;
    CheckMapCompat_Fn check;
    Mxl40_SetTrace_Fn set_trace;
    Mx40Settings settings = {98, 0, 1, 1, 0, 0, 0};
    Mx40Files files = {"/nonexistent/loader.bin", NULL, NULL};
    Mx40Options options = {0, 0, 1, 0};

    if (argc < 2 || (slash = strrchr(argv[1], '/')) == NULL) {
        fprintf(stderr, "usage: abi_from_c <path of the built library>\n");
        return 2;
    }
    snprintf(path, sizeof path, "%.*s/%s", (int)(slash - argv[1]), argv[1], MX40_LIBRARY_FILE_NAME);
    library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (library == NULL) {
        fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
        return 1;
    }
    init = (Mxl40_Init_Fn)dlsym(library, "Mxl40_Init");
    start_stop = (Mxl40_StartStop_Fn)dlsym(library, "Mxl40_StartStop");
    download = (Mxl40_Download_Fn)dlsym(library, "Mxl40_Download");
    check = (CheckMapCompat_Fn)dlsym(library, "CheckMapCompat");
    set_trace = (Mxl40_SetTrace_Fn)dlsym(library, "Mxl40_SetTrace");
    expect(init && start_stop && download && check, "the four functions are exported by name");
    expect(set_trace != NULL, "the trace hook Mxl40_SetTrace is exported by name");
    expect(dlsym(library,
                 "_ZN4mx4011RunDownloadERKNS_"
                 "16DownloadServicesEP12Mx40SettingsPK9Mx40FilesPK11Mx40Options") == NULL,
           "the engine's inner functions are not visible");
    if (failures != 0) {
        return 1;
    }

    expect(init(0) == 0 && init(7) == 7, "Mxl40_Init returns its argument");
    expect(start_stop(5) == 5 && start_stop(1) == 1 && start_stop(0) == 0,
           "Mxl40_StartStop returns its argument");

    expect(download(NULL, NULL, &files, &options) == 'A', "no settings record gives 'A'");
    expect(download(NULL, &settings, NULL, &options) == 'B', "no file record gives 'B'");
    expect(settings.Port == 99, "the port field grew by one");
    /* COM100 is neither in the register nor a kernel port that exists here. */
    expect(download(NULL, &settings, &files, &options) == '9', "a missing port gives '9'");
    expect(settings.Port == 100, "the port field grew again");

    expect(check(NULL, "x") == MX40_MAP_NO_PATH, "a null path gives 14");
    expect(set_trace(NULL, NULL) == 0, "removing a trace that was never set answers 0");

    dlclose(library);
    if (failures == 0) {
        printf("abi_from_c: all checks passed\n");
    }
    return failures == 0 ? 0 : 1;
}
