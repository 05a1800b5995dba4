#include "core/records/record_fields.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>

#include "core/records/record_json.h"

namespace dekvanto::core {

bool LineCarries(RecordEvent event, FieldLines lines) {
    switch (lines) {
        case FieldLines::kAll:
            return true;
        case FieldLines::kStartAndEnd:
            return event != RecordEvent::kRemoved;
        case FieldLines::kEnd:
            return event == RecordEvent::kEnd;
        case FieldLines::kRemoved:
            return event == RecordEvent::kRemoved;
    }
    return false;
}

bool LineReads(RecordEvent event, FieldLines lines) {
    return lines == FieldLines::kStartAndEnd || LineCarries(event, lines);
}

std::string_view LinesText(FieldLines lines) {
    switch (lines) {
        case FieldLines::kAll:
            return "all";
        case FieldLines::kStartAndEnd:
            return "start, end";
        case FieldLines::kEnd:
            return "end";
        case FieldLines::kRemoved:
            return "removed";
    }
    return "";
}

std::string_view EventWord(RecordEvent event) {
    switch (event) {
        case RecordEvent::kStart:
            return "start";
        case RecordEvent::kEnd:
            return "end";
        case RecordEvent::kRemoved:
            return "removed";
    }
    return "";
}

namespace {

// The end of a line being read: ParseRecordLine gives an end line its end before any field is
// read, and only an end line is read for the end's fields.
UnitEnd &EndOf(RecordLine &parsed) {
    return *parsed.record.end;
}

std::string Sha256Of(const UnitRecord &record, std::string_view role) {
    for (const SentFile &file : record.constants.files) {
        if (file.role == role) {
            return file.sha256;
        }
    }
    return "";
}

std::string ThreeDecimals(double seconds) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

std::vector<RecordField> TableOfFields() {
    using L = FieldLines;
    using Unit = RecordedUnit;
    return {
        {.key = "schema",
         .lines = L::kAll,
         .meaning = R"(`1`)",
         .write = [](const LineToWrite &, FieldOut &out) { out.value = kUnitRecordSchema; }},
        {.key = "event",
         .lines = L::kAll,
         .meaning = R"(`"start"`, `"end"` or `"removed"`)",
         .write = [](const LineToWrite &l, FieldOut &out) { out.value = EventWord(l.event); }},
        {.key = "station",
         .lines = L::kAll,
         .meaning = R"(the port name of the station, `"COM3"`)",
         .write = [](const LineToWrite &l, FieldOut &out) { out.value = l.record.start.station; },
         .read = [](const FieldIn &in, RecordLine &p) { Take(in.value, p.record.start.station); },
         .columns = {{3, "station", [](const Unit &u) { return u.record.start.station; }}}},
        {.key = "device",
         .lines = L::kAll,
         .meaning =
             R"(the device behind the port: `path` (`"/dev/ttyUSB0"`; `""` when not listed),)"
             R"( `usb_serial` and `usb_product` of a USB adapter (`null` when not known))",
         .write =
             [](const LineToWrite &l, FieldOut &out) {
                 const RecordDevice &d = l.record.start.device;
                 out.value = {{"path", d.path},
                              {"usb_serial", OrNull(d.usb_serial)},
                              {"usb_product", OrNull(d.usb_product)}};
             },
         .read =
             [](const FieldIn &in, RecordLine &p) {
                 const ReadJson &device = ObjectOr(in.value);
                 RecordDevice &d = p.record.start.device;
                 Take(FieldOf(device, "path"), d.path);
                 Take(FieldOf(device, "usb_serial"), d.usb_serial);
                 Take(FieldOf(device, "usb_product"), d.usb_product);
             },
         .columns = {{16, "device", [](const Unit &u) { return u.record.start.device.path; }},
                     {17, "usb_serial",
                      [](const Unit &u) {
                          return u.record.start.device.usb_serial.value_or("");
                      }}}},
        {.key = "unit",
         .lines = L::kAll,
         .meaning =
             R"(the unit's number at its station: 1, 2, ... (at most 9223372036854775807; a )"
             R"(line with a larger number is skipped and reported))",
         .write = [](const LineToWrite &l, FieldOut &out) { out.value = l.record.start.unit; },
         .read = [](const FieldIn &in, RecordLine &p) { Take(in.value, p.record.start.unit); },
         .columns = {{4, "unit",
                      [](const Unit &u) { return std::to_string(u.record.start.unit); }}}},
        {.key = "unit_id",
         .lines = L::kAll,
         .meaning = R"(the identifier scanned for the unit, `null` when none was scanned)",
         .write = [](const LineToWrite &l,
                     FieldOut &out) { out.value = OrNull(l.record.start.unit_id); },
         .read = [](const FieldIn &in, RecordLine &p) { Take(in.value, p.record.start.unit_id); },
         .columns = {{5, "unit_id",
                      [](const Unit &u) { return u.record.start.unit_id.value_or(""); }}}},
        {.key = "operator",
         .lines = L::kStartAndEnd,
         .meaning = R"(who runs the bench, `null` when not given)",
         .write = [](const LineToWrite &l,
                     FieldOut &out) { out.value = OrNull(l.record.start.operator_name); },
         .read = [](const FieldIn &in,
                    RecordLine &p) { Take(in.value, p.record.start.operator_name); },
         .columns = {{13, "operator",
                      [](const Unit &u) { return u.record.start.operator_name.value_or(""); }}}},
        {.key = "host",
         .lines = L::kAll,
         .meaning = R"(the name of the bench's machine)",
         .write = [](const LineToWrite &l, FieldOut &out) { out.value = l.record.constants.host; },
         .read = [](const FieldIn &in, RecordLine &p) { Take(in.value, p.record.constants.host); },
         .columns = {{14, "host", [](const Unit &u) { return u.record.constants.host; }}}},
        {.key = "tool_version",
         .lines = L::kStartAndEnd,
         .meaning = R"(the version of `vanto`)",
         .write = [](const LineToWrite &l,
                     FieldOut &out) { out.value = l.record.constants.tool_version; },
         .read = [](const FieldIn &in,
                    RecordLine &p) { Take(in.value, p.record.constants.tool_version); }},
        {.key = "product",
         .lines = L::kStartAndEnd,
         .meaning = R"(the product chosen, as the product list spells it, `null` when none)",
         .write = [](const LineToWrite &l,
                     FieldOut &out) { out.value = OrNull(l.record.constants.product); },
         .read = [](const FieldIn &in,
                    RecordLine &p) { Take(in.value, p.record.constants.product); },
         .columns = {{15, "product",
                      [](const Unit &u) { return u.record.constants.product.value_or(""); }}}},
        {.key = "settings",
         .lines = L::kStartAndEnd,
         .meaning =
             R"(`speed` in bit/s, `parity` (`"none"`, `"odd"`, `"even"`), `stop_bits` (1, )"
             R"(2), `bus` (memory bus width in bits: 8, 16), `wait_states` (0 to 3), `mode` )"
             R"((`"acknowledged"` or `"blind"`); a value outside its list (a settings file )"
             R"(edited by hand) is `null`)",
         .write =
             [](const LineToWrite &l, FieldOut &out) {
                 const RecordSettings &s = l.record.constants.settings;
                 out.value = {{"speed", OrNull(s.speed)},
                              {"parity", OrNull(s.parity)},
                              {"stop_bits", OrNull(s.stop_bits)},
                              {"bus", OrNull(s.bus)},
                              {"wait_states", OrNull(s.wait_states)},
                              {"mode", s.mode}};
             },
         .read =
             [](const FieldIn &in, RecordLine &p) {
                 const ReadJson &settings = ObjectOr(in.value);
                 RecordSettings &s = p.record.constants.settings;
                 Take(FieldOf(settings, "speed"), s.speed);
                 Take(FieldOf(settings, "parity"), s.parity);
                 Take(FieldOf(settings, "stop_bits"), s.stop_bits);
                 Take(FieldOf(settings, "bus"), s.bus);
                 Take(FieldOf(settings, "wait_states"), s.wait_states);
                 Take(FieldOf(settings, "mode"), s.mode);
             }},
        {.key = "files",
         .lines = L::kStartAndEnd,
         .meaning =
             R"(each file sent, in the order sent: `role` (`"loader"`, `"code"`, `"perso"`),)"
             R"( `path` (full path), `size` in bytes, `sum16` (the checksum as the main )"
             R"(window shows it: 0xFFFF minus the sum of the bytes, upper-case hexadecimal),)"
             R"( `sha256` (lower-case hexadecimal). The files are read for these once, when )"
             R"(the bench starts; each unit checks them again (size and SHA-256) before )"
             R"(anything is sent and after it ends, so a unit recorded with these digests )"
             R"(had these bytes (a file changed before the unit stops its station, one )"
             R"(changed during it makes it `FAIL`).)",
         .write =
             [](const LineToWrite &l, FieldOut &out) {
                 out.value = Json::array();
                 for (const SentFile &f : l.record.constants.files) {
                     out.value.push_back({{"role", f.role},
                                          {"path", f.path},
                                          {"size", f.size},
                                          {"sum16", f.sum16},
                                          {"sha256", f.sha256}});
                 }
             },
         .read =
             [](const FieldIn &in, RecordLine &p) {
                 if (!in.value.is_array()) {
                     return;
                 }
                 for (const ReadJson &item : in.value) {
                     if (!item.is_object()) {
                         continue;
                     }
                     SentFile file;
                     Take(FieldOf(item, "role"), file.role);
                     Take(FieldOf(item, "path"), file.path);
                     Take(FieldOf(item, "size"), file.size);
                     Take(FieldOf(item, "sum16"), file.sum16);
                     Take(FieldOf(item, "sha256"), file.sha256);
                     p.record.constants.files.push_back(std::move(file));
                 }
             },
         .columns = {{18, "loader_sha256",
                      [](const Unit &u) { return Sha256Of(u.record, "loader"); }},
                     {19, "code_sha256", [](const Unit &u) { return Sha256Of(u.record, "code"); }},
                     {20, "perso_sha256",
                      [](const Unit &u) { return Sha256Of(u.record, "perso"); }}}},
        {.key = "started",
         .lines = L::kAll,
         .meaning = R"(when the unit started)",
         .write = [](const LineToWrite &l, FieldOut &out) { out.value = l.record.start.started; },
         .read = [](const FieldIn &in, RecordLine &p) { Take(in.value, p.record.start.started); },
         .columns = {{1, "started", [](const Unit &u) { return u.record.start.started; }}}},
        {.key = "ended",
         .lines = L::kEnd,
         .meaning = R"(when the unit ended)",
         .write = [](const LineToWrite &l, FieldOut &out) { out.value = l.end.ended; },
         .read = [](const FieldIn &in, RecordLine &p) { Take(in.value, EndOf(p).ended); },
         .columns = {{2, "ended",
                      [](const Unit &u) -> std::string {
                          return u.record.end ? u.record.end->ended : "";
                      }}}},
        {.key = "seconds",
         .lines = L::kEnd,
         .meaning = R"(how long the engine ran)",
         .write = [](const LineToWrite &l, FieldOut &out) { out.value = l.end.seconds; },
         .read = [](const FieldIn &in, RecordLine &p) { Take(in.value, EndOf(p).seconds); },
         .columns = {{9, "seconds",
                      [](const Unit &u) -> std::string {
                          return u.record.end ? ThreeDecimals(u.record.end->seconds) : "";
                      }}}},
        {.key = "bytes",
         .lines = L::kEnd,
         .meaning = R"(the last byte count the engine reported)",
         .write = [](const LineToWrite &l, FieldOut &out) { out.value = l.end.bytes; },
         .read = [](const FieldIn &in, RecordLine &p) { Take(in.value, EndOf(p).bytes); },
         .columns = {{10, "bytes",
                      [](const Unit &u) -> std::string {
                          return u.record.end ? std::to_string(u.record.end->bytes) : "";
                      }}}},
        {.key = "result",
         .lines = L::kEnd,
         .meaning =
             R"(the engine's result character (`"2"` finished, `"3"` or `"4"` stopped, ...),)"
             R"( `null` when the engine did not run)",
         .write =
             [](const LineToWrite &l, FieldOut &out) {
                 out.value = l.end.result ? Json(std::string(1, *l.end.result)) : Json(nullptr);
             },
         .read =
             [](const FieldIn &in, RecordLine &p) {
                 std::optional<std::string> result;
                 Take(in.value, result);
                 if (result && result->size() == 1) {
                     EndOf(p).result = result->front();
                 }
             },
         .columns = {{7, "result",
                      [](const Unit &u) -> std::string {
                          const auto &end = u.record.end;
                          return end && end->result ? std::string(1, *end->result) : "";
                      }}}},
        {.key = "status",
         .lines = L::kEnd,
         .meaning =
             R"(the class of the outcome, the same classes as `vanto`'s exit statuses (table)"
             R"( below))",
         .write = [](const LineToWrite &l, FieldOut &out) { out.value = StatusWord(l.end.status); },
         .read =
             [](const FieldIn &in, RecordLine &p) {
                 std::string status;
                 Take(in.value, status);
                 EndOf(p).status = StatusOfWord(status).value_or(OutcomeClass::kOtherFailure);
             },
         // The verdict comes from the status, and is INTERRUPTED for a unit without its end.
         .columns = {{6, "outcome",
                      [](const Unit &u) { return std::string(VerdictWord(VerdictOf(u.record))); }},
                     {8, "status",
                      [](const Unit &u) -> std::string {
                          return u.record.end ? std::string(StatusWord(u.record.end->status)) : "";
                      }}}},
        {.key = "result_line",
         .lines = L::kEnd,
         .meaning =
             R"(the log's line that says how it ended, exactly as the log shows it with its )"
             R"(frame of dashes: )"
             R"(`"------------------------DOWNLOAD COMPLETED--------------------------"`, )"
             R"(or a failure's own line )"
             R"((`"-------------- Not acknowledge,  Connection lost -------------------"`, )"
             R"(not the `DOWNLOAD ERROR` line that comes with it))",
         .write = [](const LineToWrite &l, FieldOut &out) { out.value = l.end.result_line; },
         .read = [](const FieldIn &in, RecordLine &p) { Take(in.value, EndOf(p).result_line); },
         .columns = {{11, "result_line",
                      [](const Unit &u) -> std::string {
                          return u.record.end ? u.record.end->result_line : "";
                      }}}},
        {.key = "reason",
         .lines = L::kEnd,
         .meaning =
             R"(for a unit that did not pass, the bench's own words for it with the stage it)"
             R"( reached, as its permanent line shows them after `FAIL` (`"no )"
             R"(acknowledgement in the code file"`); `null` when the bench gave none)",
         .write = [](const LineToWrite &l, FieldOut &out) { out.value = OrNull(l.end.reason); },
         .read = [](const FieldIn &in, RecordLine &p) { Take(in.value, EndOf(p).reason); },
         .columns = {{12, "reason",
                      [](const Unit &u) -> std::string {
                          return u.record.end ? u.record.end->reason.value_or("") : "";
                      }}}},
        {.key = "log",
         .lines = L::kEnd,
         .meaning = R"(every log line of the unit, in order)",
         .write = [](const LineToWrite &l, FieldOut &out) { out.value = l.end.log; },
         .read = [](const FieldIn &in, RecordLine &p) { Take(in.value, EndOf(p).log); }},
        {.key = "removed",
         .lines = L::kRemoved,
         .meaning = R"(when the station found the phone gone)",
         .write = [](const LineToWrite &l, FieldOut &out) { out.value = l.removed; },
         .read = [](const FieldIn &in, RecordLine &p) { Take(in.value, p.removed); },
         .columns = {{21, "removed", [](const Unit &u) { return u.removed.value_or(""); }}}},
    };
}

}  // namespace

const std::vector<RecordField> &RecordFields() {
    static const std::vector<RecordField> fields = TableOfFields();
    return fields;
}

std::vector<CsvColumn> CsvColumns() {
    std::vector<CsvColumn> columns;
    for (const RecordField &field : RecordFields()) {
        columns.insert(columns.end(), field.columns.begin(), field.columns.end());
    }
    std::sort(columns.begin(), columns.end(),
              [](const CsvColumn &a, const CsvColumn &b) { return a.position < b.position; });
    return columns;
}

}  // namespace dekvanto::core
