#include "line/line_trace.h"

namespace dekvanto::engine {
namespace {

void Report(int32_t direction, const uint8_t *bytes, uint32_t count) {
    const LineTrace &trace = TheLineTrace();
    if (trace.fn != nullptr && count > 0) {
        trace.fn(trace.context, direction, trace.phase, bytes, count);
    }
}

class TracingPort final : public LinePort {
  public:
    explicit TracingPort(std::unique_ptr<LinePort> port) : port_(std::move(port)) {}

    int Open(int32_t number) override { return port_->Open(number); }
    bool SetBitRate(uint32_t bits_per_second) override {
        return port_->SetBitRate(bits_per_second);
    }
    bool SetDtr(bool raised) override { return port_->SetDtr(raised); }
    bool Restore() override { return port_->Restore(); }
    bool Purge() override { return port_->Purge(); }
    void Release() override { port_->Release(); }

    bool Write(const uint8_t *data, uint32_t count, uint32_t &written) override {
        const bool all = port_->Write(data, count, written);
        Report(MX40_TRACE_SENT, data, written <= count ? written : count);
        return all;
    }
    bool Drain() override { return port_->Drain(); }
    bool SetReadTimeout(uint32_t constant_ms) override {
        return port_->SetReadTimeout(constant_ms);
    }
    ReadOutcome ReadByte(uint8_t &byte) override {
        const ReadOutcome outcome = port_->ReadByte(byte);
        if (outcome == ReadOutcome::kByte) {
            Report(MX40_TRACE_RECEIVED, &byte, 1);
        }
        return outcome;
    }

  private:
    std::unique_ptr<LinePort> port_;
};

}  // namespace

LineTrace &TheLineTrace() {
    static LineTrace trace;
    return trace;
}

void SetTracePhase(int32_t phase) {
    TheLineTrace().phase = phase;
}

std::unique_ptr<LinePort> TracedPort(std::unique_ptr<LinePort> port) {
    return std::make_unique<TracingPort>(std::move(port));
}

}  // namespace dekvanto::engine
