// The engine's window record (Mx40Window) over a download view, for POSIX front ends: the
// engine's messages go to a handler (the download control), its event dispatch and message
// boxes to the view. Every front end uses this one adapter.
#pragma once

#include <cstdint>

#include "core/download/download_view.h"
#include "dekvanto/mx40.h"

namespace dekvanto::core {

// Handles the engine's three messages (MX40_WM_BYTE_COUNT, MX40_WM_LOG_LINE,
// MX40_WM_PROGRESS_STEP); others are ignored.
class EngineMessageHandler {
  public:
    virtual ~EngineMessageHandler() = default;
    virtual void OnEngineMessage(uint32_t message, uintptr_t wparam) = 0;
};

#if !defined(_WIN32)
class EngineWindow {
  public:
    EngineWindow(EngineMessageHandler &handler, DownloadView &view);
    EngineWindow(const EngineWindow &) = delete;
    EngineWindow &operator=(const EngineWindow &) = delete;

    // The handle to pass to Mxl40_Download; valid while this object lives.
    Mx40WindowHandle Handle() { return &record_; }

  private:
    EngineMessageHandler &handler_;
    DownloadView &view_;
    Mx40Window record_{};
};
#endif

}  // namespace dekvanto::core
