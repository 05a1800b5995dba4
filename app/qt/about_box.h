// The About box "About DEK VANTO": the program icon, the version text read afresh from the
// version file each time the box opens (empty when the file is missing or unreadable), a notice
// line and "OK". Enter, Escape and the close box close it too.
#pragma once

#include <QDialog>
#include <string>

namespace dekvanto::qt {

class AboutBox final : public QDialog {
    Q_OBJECT
  public:
    AboutBox(const std::string &program_directory, QWidget *parent);
};

}  // namespace dekvanto::qt
