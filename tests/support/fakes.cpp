#include "fakes.h"

#include <algorithm>

#include "dekvanto/mx40.h"

namespace dekvanto::engine::testing {

void RecordingWindow::Send(uint32_t message, uintptr_t wparam, intptr_t) {
    WindowMessage m{message, wparam, ""};
    if (message == MX40_WM_LOG_LINE) {
        m.text = reinterpret_cast<const char *>(wparam);
    }
    messages.push_back(std::move(m));
}

bool RecordingWindow::Pump() {
    ++pumps;
    return on_pump ? on_pump(pumps) : false;
}

void RecordingWindow::Prompt(const char *text) {
    prompts.emplace_back(text);
    if (on_prompt) {
        on_prompt();
    }
}

std::vector<std::string> RecordingWindow::LogLines() const {
    std::vector<std::string> lines;
    for (const auto &m : messages) {
        if (m.message == MX40_WM_LOG_LINE) {
            lines.push_back(m.text);
        }
    }
    return lines;
}

int RecordingWindow::CountOf(uint32_t message) const {
    return static_cast<int>(
        std::count_if(messages.begin(), messages.end(),
                      [&](const WindowMessage &m) { return m.message == message; }));
}

int ScriptedPort::Open(int32_t number) {
    calls.push_back("open");
    opened_number = number;
    if (open_result == 0) {
        is_open = true;
        bit_rate = 2400;
    }
    return open_result;
}

bool ScriptedPort::SetBitRate(uint32_t bits_per_second) {
    timeline.push_back("rate");
    undrained_rate_changes += undrained ? 1 : 0;
    if (refuse_bit_rates) {
        return false;
    }
    bit_rate = bits_per_second;
    return true;
}

bool ScriptedPort::SetDtr(bool raised) {
    calls.push_back(raised ? "dtr+" : "dtr-");
    if (!raised) {
        timeline.push_back("close");
    }
    return true;
}

bool ScriptedPort::Restore() {
    calls.push_back("restore");
    return true;
}

bool ScriptedPort::Purge() {
    calls.push_back("purge");
    answers.clear();
    return true;
}

void ScriptedPort::Release() {
    calls.push_back("release");
    timeline.push_back("release");
    undrained_releases += undrained ? 1 : 0;
    undrained = false;
    is_open = false;
}

bool ScriptedPort::Write(const uint8_t *data, uint32_t count, uint32_t &written) {
    const std::size_t index = writes.size();
    timeline.push_back("write");
    undrained = true;
    if (static_cast<int>(index) == write_fails_at) {
        written = 0;
        writes.push_back({{}, bit_rate});
        return false;
    }
    writes.push_back({std::vector<uint8_t>(data, data + count), bit_rate});
    written = count;
    if (responder) {
        responder(*this, index);
    }
    return true;
}

bool ScriptedPort::Drain() {
    timeline.push_back("drain");
    const int index = drains++;
    if (!is_open || gone || (drain_fails_at >= 0 && index >= drain_fails_at)) {
        return false;
    }
    undrained = false;
    return true;
}

bool ScriptedPort::SetReadTimeout(uint32_t constant_ms) {
    read_timeout = constant_ms;
    return true;
}

ReadOutcome ScriptedPort::ReadByte(uint8_t &byte) {
    ++reads;
    read_positions.push_back(writes.size());
    if (gone) {
        return ReadOutcome::kGone;
    }
    if (answers.empty()) {
        clock_.Advance(25 + read_timeout);
        return ReadOutcome::kNothing;
    }
    byte = answers.front();
    answers.pop_front();
    return ReadOutcome::kByte;
}

namespace {

class FakeFile final : public InputFile {
  public:
    FakeFile(const std::vector<uint8_t> &content, uint64_t deliver, int &open_files)
        : content_(content), deliver_(deliver), open_files_(open_files) {
        ++open_files_;
    }
    ~FakeFile() override { --open_files_; }
    uint64_t Length() override { return content_.size(); }
    uint64_t Read(uint8_t *destination, uint64_t count) override {
        const uint64_t n = std::min({count, deliver_, uint64_t{content_.size()}});
        std::copy_n(content_.begin(), n, destination);
        return n;
    }

  private:
    const std::vector<uint8_t> &content_;
    uint64_t deliver_;
    int &open_files_;
};

}  // namespace

std::unique_ptr<InputFile> FakeFiles::Open(const char *path) {
    const auto found = contents.find(path);
    if (found == contents.end()) {
        return nullptr;
    }
    const auto short_read = short_reads.find(path);
    const uint64_t deliver = short_read == short_reads.end() ? UINT64_MAX : short_read->second;
    return std::make_unique<FakeFile>(found->second, deliver, open_files);
}

int64_t g_live_blocks = 0;

MemoryBlock FakeFiles::Allocate(uint64_t size) {
    auto release = [](uint8_t *block) {
        --g_live_blocks;
        delete[] block;
    };
    if (size == refuse_allocation_of) {
        return MemoryBlock(nullptr, release);
    }
    ++g_live_blocks;
    return MemoryBlock(new uint8_t[size == 0 ? 1 : size], release);
}

}  // namespace dekvanto::engine::testing
