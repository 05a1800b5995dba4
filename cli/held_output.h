// Output that can be held back. An unattended station tries a download every poll interval, and
// only an attempt that a phone answered is a unit: what such an attempt writes is held until the
// phone answers, then let out in order (and everything after it goes straight through), or
// dropped when nobody answered.
#pragma once

#include <ostream>
#include <streambuf>
#include <string>

namespace dekvanto::cli {

class HeldOutput final : public std::streambuf {
  public:
    explicit HeldOutput(std::ostream &out) : out_(out) {}

    // From now on, keep what is written.
    void Hold() { held_ = true; }
    // Writes out what was kept; later output goes straight through.
    void Release();
    // Forgets what was kept; later output goes straight through.
    void Drop();

  protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char *text, std::streamsize count) override;
    int sync() override;

  private:
    std::ostream &out_;
    std::string kept_;
    bool held_ = false;
};

}  // namespace dekvanto::cli
