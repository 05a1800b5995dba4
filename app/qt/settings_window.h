// The "Settings" dialog: the widgets over the Settings dialog's rules (core/settings_dialog.h).
// It fills its controls from what the rules say at opening, hands the controls' values to the
// rules at OK, and forgets everything at Cancel, Escape or the close box.
//
// The port box lists the ports of the port source, each with the device it opens (and a USB
// adapter's product name) beside it in the drop-down list; its edit field takes a typed name.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <functional>
#include <string>
#include <vector>

#include "core/port_list.h"
#include "core/settings_dialog.h"

namespace dekvanto::qt {

class SettingsWindow final : public QDialog {
    Q_OBJECT
  public:
    // Asks for a file: title, starting folder, filter; returns the chosen path or "" when
    // cancelled.
    using FileChooser = std::function<QString(QWidget *owner, const QString &title,
                                              const QString &folder, const QString &filter)>;

    // Opens the rules (Open) with the port source's list and fills the controls.
    SettingsWindow(app::SettingsDialog &rules, app::PortSource &ports,
                   const std::string &program_directory, FileChooser choose_file, QWidget *parent);

  public slots:
    void accept() override;
    void reject() override;

  private:
    void BuildControls();
    void FillControls(const app::SettingsDialogContents &contents);
    void OnBrowseLoader();
    app::CurrentSettings ChosenSettings() const;

    app::SettingsDialog &rules_;
    app::PortSource &port_source_;
    std::string program_directory_;
    FileChooser choose_file_;
    std::vector<app::PortEntry> ports_;

    QComboBox *port_ = nullptr;
    QComboBox *speed_ = nullptr;
    QComboBox *parity_ = nullptr;
    QComboBox *stop_bits_ = nullptr;
    QComboBox *data_bits_ = nullptr;
    QComboBox *wait_states_ = nullptr;
    QComboBox *bus_size_ = nullptr;
    QLineEdit *loader_name_ = nullptr;
    QLineEdit *loader_size_ = nullptr;
    QCheckBox *acknowledge_ = nullptr;
    QCheckBox *pause_ = nullptr;
};

}  // namespace dekvanto::qt
