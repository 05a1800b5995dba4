// The bench window against a scripted bench: a shell script stands in for `vanto bench` and
// writes a prepared event stream.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <string>

#include "core/download/download_events.h"
#include "qt/bench_window.h"
#include "support/temp_folder.h"

namespace dekvanto::qt::testing {

// One event line of the stream.
inline std::string Event(dekvanto::core::DownloadEvent event) {
    return dekvanto::core::EventLine(event) + "\n";
}

// A bench window over a set-up with `ports` (JSON strings, comma-separated) whose bench program is
// `script`, run by /bin/sh beside the file "events", which holds `events`.
class Bench {
  public:
    Bench(const std::string &ports, const std::string &script, const std::string &events,
          const std::string &more = "")
        : window({.program = QStringLiteral("/bin/sh"),
                  .leading_arguments = {QString::fromStdString((folder / "vanto").string())}}) {
        folder.Write("vanto", script);
        folder.Write("events", events);
        setup = folder.Write("line.bench",
                             R"({"format":"dekvanto-bench-setup","version":1,"ports":[)" + ports +
                                 R"(],"code":"code.bin","record":"r.jsonl")" + more + "}");
        window.confirm_close = [this] { return answer; };
        window.show();
    }
    QString Label(const QString &name) {
        for (QLabel *label : window.findChildren<QLabel *>()) {
            if (label->accessibleName() == name) {
                return label->text();
            }
        }
        return QStringLiteral("<no %1>").arg(name);
    }
    QWidget *Named(const QString &name) {
        for (QWidget *widget : window.findChildren<QWidget *>()) {
            if (widget->accessibleName() == name) {
                return widget;
            }
        }
        return nullptr;
    }
    void Click(const QString &name) {
        QTest::mouseClick(static_cast<QPushButton *>(Named(name)), Qt::LeftButton);
    }

    dekvanto::core::TempFolder folder;
    std::filesystem::path setup;
    dekvanto::qt::BenchWindow window;
    bool answer = false;
};

}  // namespace dekvanto::qt::testing
