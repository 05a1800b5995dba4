// The functions the engine library exports: the four of the download interface and the byte
// trace hook for diagnostic tools. Nothing thrown inside may cross them.
#include "clock/clock.h"
#include "dekvanto/mx40.h"
#include "files/file_source.h"
#include "interface/download_driver.h"
#include "interface/engine_state.h"
#include "line/line_port.h"
#include "line/line_trace.h"
#include "mapcheck/map_check.h"
#include "window/window.h"

extern "C" {

MX40_API int32_t MX40_CALL Mxl40_Init(int32_t value) {
    dekvanto::engine::TheEngineState().init_value = value;
    return value;
}

MX40_API int32_t MX40_CALL Mxl40_StartStop(int32_t value) {
    if (value == 1 || value == 0) {
        dekvanto::engine::TheEngineState().running = value;
    }
    return value;
}

MX40_API int32_t MX40_CALL Mxl40_Download(Mx40WindowHandle window, Mx40Settings *settings,
                                          const Mx40Files *files, const Mx40Options *options) {
    try {
        const auto port = dekvanto::engine::TracedPort(dekvanto::engine::MakeSystemLinePort());
        const auto window_layer = dekvanto::engine::MakePlatformWindow(window);
        const dekvanto::engine::DownloadServices services{
            *port, dekvanto::engine::SystemClock(), *window_layer, dekvanto::engine::SystemFiles(),
            dekvanto::engine::TheEngineState()};
        return dekvanto::engine::RunDownload(services, settings, files, options);
    } catch (...) {
        // Only an allocation of the engine's own bookkeeping can throw; the port and the files
        // were released when their owners unwound.
        return MX40_RESULT_FILE_MEMORY;
    }
}

MX40_API int32_t MX40_CALL CheckMapCompat(const char *code_path, const char *perso_path) {
    try {
        return dekvanto::engine::CheckMapCompat(code_path, perso_path);
    } catch (...) {
        return MX40_MAP_NOT_FOUND;
    }
}

MX40_API int32_t MX40_CALL Mxl40_SetTrace(Mx40TraceFn fn, void *context) {
    dekvanto::engine::LineTrace &trace = dekvanto::engine::TheLineTrace();
    trace.fn = fn;
    trace.context = context;
    return 0;
}

}  // extern "C"
