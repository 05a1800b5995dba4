#include "core/linedb/line_forwarder.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#include "core/linedb/line_schema.h"

namespace dekvanto::core {
namespace {

namespace fs = std::filesystem;

void Add(PushTotals &to, const PushTotals &more) {
    to.lines += more.lines;
    to.skipped += more.skipped;
    to.batches.stored += more.batches.stored;
    to.batches.already += more.batches.already;
    to.batches.refused += more.batches.refused;
    to.batches.differing += more.batches.differing;
}

// The file in the record file's folder that a rotation renamed it to ("records.jsonl.1"): the one
// of `identity` whose name begins with the record file's.
std::optional<std::string> RotatedFile(const std::string &file,
                                       const platform::FileIdentity &identity) {
    const fs::path path(file);
    const std::string name = path.filename().string();
    std::error_code error;
    fs::directory_iterator entries(path.parent_path().empty() ? "." : path.parent_path(), error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        const std::string other = entries->path().filename().string();
        if (other.size() > name.size() && other.compare(0, name.size(), name) == 0 &&
            platform::IdentityOfPath(entries->path().string()) == identity) {
            return entries->path().string();
        }
    }
    return std::nullopt;
}

}  // namespace

std::string SkippedLineText(const std::string &file, uint64_t number, const std::string &why) {
    return file + " line " + std::to_string(number) + " skipped: " + why;
}

LineForwarder::LineForwarder(ForwarderSettings settings, ForwarderHooks hooks)
    : settings_(std::move(settings)), hooks_(std::move(hooks)), next_wait_(settings_.first_wait) {}

LineForwarder::~LineForwarder() = default;

PushTotals LineForwarder::Totals() const {
    PushTotals totals = earlier_;
    if (pusher_) {
        Add(totals, pusher_->Totals());
    }
    return totals;
}

void LineForwarder::Say(const std::string &line) {
    hooks_.say(line);
}

void LineForwarder::Run() {
    for (;;) {
        Round();
        const std::chrono::milliseconds wait = away_ ? next_wait_ : settings_.poll;
        if (away_) {
            next_wait_ = std::min(next_wait_ * 2, settings_.longest_wait);
        }
        if (!hooks_.wait(wait)) {
            return;
        }
    }
}

void LineForwarder::DatabaseAway(const std::string &why) {
    db_.reset();
    const std::string said = "waiting for the database " + settings_.database.shown + ": " + why;
    if (!away_ || said != last_away_) {
        Say(said + "; trying again in " + std::to_string((next_wait_.count() + 999) / 1000) +
            " s and then at longer waits, up to " +
            std::to_string(settings_.longest_wait.count() / 1000) + " s");
    }
    last_away_ = said;
    away_ = true;
}

bool LineForwarder::Connect() {
    if (db_) {
        return true;
    }
    std::string why;
    std::unique_ptr<DatabaseConnection> db = DatabaseConnection::Open(settings_.database, why);
    if (!db) {
        DatabaseAway(why);
        return false;
    }
    if (!CheckLineSchema(*db, why)) {
        DatabaseAway(why);
        return false;
    }
    db_ = std::move(db);
    if (away_) {
        Say("the database " + settings_.database.shown + " answers again");
    }
    away_ = false;
    next_wait_ = settings_.first_wait;
    return true;
}

void LineForwarder::Drop() {
    if (pusher_) {
        Add(earlier_, pusher_->Totals());
    }
    pusher_.reset();
    source_.reset();
    reading_ = Reading::kNone;
}

void LineForwarder::Follow(platform::ReadOnlyFile file, const LinePosition &from, Reading reading) {
    Drop();
    identity_ = file.Identity().value_or(platform::FileIdentity{});
    source_ = std::make_unique<RecordLineSource>(std::move(file), from);
    const std::string name = reading == Reading::kRotatedRest ? "the rotated file" : settings_.file;
    PushCallbacks callbacks;
    callbacks.skipped = [this, name](uint64_t number, const std::string &why) {
        Say(SkippedLineText(name, number, why));
    };
    callbacks.stored = [this](const LinePosition &position) { Stored(position); };
    pusher_ = std::make_unique<LinePusher>(*source_, std::move(callbacks));
    reading_ = reading;
}

void LineForwarder::Stored(const LinePosition &position) {
    if (settings_.position_file.empty()) {
        return;
    }
    std::string why;
    if (!SaveForwardPosition(settings_.position_file, {identity_, position}, why)) {
        Say("cannot keep the position in " + settings_.position_file + ": " + why +
            " (a forwarder started again sends the file from its start; nothing is stored twice)");
    }
}

bool LineForwarder::OpenFile() {
    if (source_) {
        return true;
    }
    std::optional<platform::ReadOnlyFile> file =
        platform::ReadOnlyFile::OpenOutsideText(settings_.file);
    if (!file) {
        if (!said_missing_) {
            Say(platform::RefusedAsLinkForAdministrator(settings_.file)
                    ? settings_.file +
                          " is a symbolic link, which root does not read through; "
                          "waiting for a file in its place"
                    : "waiting for " + settings_.file + " to appear");
            said_missing_ = true;
        }
        return false;
    }
    said_missing_ = false;
    const std::optional<platform::FileIdentity> identity = file->Identity();
    const std::optional<ForwardPosition> kept = settings_.position_file.empty()
                                                    ? std::nullopt
                                                    : LoadForwardPosition(settings_.position_file);
    const std::optional<platform::FileStatus> status = file->Status();
    if (kept && identity && kept->file == *identity && status &&
        kept->position.offset <= static_cast<uint64_t>(status->size)) {
        Say("following " + settings_.file + " into " + settings_.database.shown + " from line " +
            std::to_string(kept->position.line));
        Follow(std::move(*file), kept->position, Reading::kOpened);
        return true;
    }
    if (kept && identity && kept->file != *identity) {
        if (const std::optional<std::string> rotated = RotatedFile(settings_.file, kept->file)) {
            if (std::optional<platform::ReadOnlyFile> rest =
                    platform::ReadOnlyFile::OpenOutsideText(*rotated)) {
                Say("sending the rest of " + *rotated +
                    " (rotated while the forwarder was away) "
                    "from line " +
                    std::to_string(kept->position.line));
                Follow(std::move(*rest), kept->position, Reading::kRotatedRest);
                return true;
            }
        }
    }
    Say("following " + settings_.file + " into " + settings_.database.shown + " from its start");
    Follow(std::move(*file), {}, Reading::kOpened);
    return true;
}

bool LineForwarder::PushRest() {
    std::string why;
    if (!pusher_->PushAvailable(*db_, why)) {
        DatabaseAway(why);
        return false;
    }
    return true;
}

void LineForwarder::CheckRotation() {
    if (reading_ == Reading::kRotatedRest) {
        if (source_->HasPendingLine()) {
            Say(SkippedLineText("the rotated file", source_->Position().line, "last line cut off"));
        }
        Drop();
        if (std::optional<platform::ReadOnlyFile> file =
                platform::ReadOnlyFile::OpenOutsideText(settings_.file)) {
            Say("following " + settings_.file + " into " + settings_.database.shown +
                " from its start");
            Follow(std::move(*file), {}, Reading::kOpened);
        }
        return;
    }
    const std::optional<platform::FileIdentity> now = platform::IdentityOfPath(settings_.file);
    if (now && *now != identity_) {
        // A line the bench appended while the file was renamed is in the old file: read it to
        // its end once more before leaving it.
        if (!PushRest()) {
            return;
        }
        std::optional<platform::ReadOnlyFile> file =
            platform::ReadOnlyFile::OpenOutsideText(settings_.file);
        if (!file) {
            return;
        }
        if (source_->HasPendingLine()) {
            Say(SkippedLineText(settings_.file, source_->Position().line,
                                "last line cut off before the file was rotated"));
        }
        Say(settings_.file + " was rotated; following the new file from its start");
        Follow(std::move(*file), {}, Reading::kOpened);
        return;
    }
    const std::optional<platform::FileStatus> status = source_->File().Status();
    if (status && static_cast<uint64_t>(status->size) < source_->Position().offset) {
        if (std::optional<platform::ReadOnlyFile> file =
                platform::ReadOnlyFile::OpenOutsideText(settings_.file)) {
            Say(settings_.file + " was cut short; following it again from its start");
            Follow(std::move(*file), {}, Reading::kOpened);
        }
    }
}

bool LineForwarder::Round() {
    if (!Connect() || !OpenFile()) {
        return false;
    }
    if (!PushRest()) {
        return false;
    }
    CheckRotation();
    // After a rotation, what the new file holds goes in at once.
    return reading_ != Reading::kNone && db_ && PushRest() && !source_->HasPendingLine();
}

}  // namespace dekvanto::core
