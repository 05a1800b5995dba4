#include <unistd.h>

#include <cstdio>
#include <string>

#include "window/window.h"

namespace dekvanto::engine {
namespace {

void WriteToStandardError(const char *text) {
    std::fprintf(stderr, "%s\n", text);
    std::fflush(stderr);
}

class PosixWindow final : public Window {
  public:
    explicit PosixWindow(const Mx40Window *record) : record_(record) {}

    bool Present() const override { return record_ != nullptr; }

    void Send(uint32_t message, uintptr_t wparam, intptr_t lparam) override {
        if (record_ != nullptr && record_->send != nullptr) {
            record_->send(record_->context, message, wparam, lparam);
        }
    }

    bool Pump() override {
        if (record_ == nullptr || record_->pump == nullptr) {
            return false;
        }
        return record_->pump(record_->context) == 1;
    }

    void MessageBox(const char *text) override {
        if (record_ != nullptr && record_->message_box != nullptr) {
            record_->message_box(record_->context, text);
        } else {
            WriteToStandardError(text);
        }
    }

    void Prompt(const char *text) override {
        if (record_ != nullptr && record_->message_box != nullptr) {
            record_->message_box(record_->context, text);
            return;
        }
        WriteToStandardError(text);
        if (isatty(STDIN_FILENO) == 1) {
            int c;
            do {
                c = std::getchar();
            } while (c != '\n' && c != EOF);
        }
    }

  private:
    const Mx40Window *record_;
};

}  // namespace

std::unique_ptr<Window> MakePlatformWindow(Mx40WindowHandle handle) {
    return std::make_unique<PosixWindow>(handle);
}

}  // namespace dekvanto::engine
