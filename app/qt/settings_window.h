// The "Settings" dialog: the widgets over one showing of the Settings dialog
// (core/window/settings_session.h). It fills its controls from what the session gives at opening,
// hands the controls' values to it at OK, and forgets everything at Cancel, Escape or the close
// box.
//
// The port box lists the ports of the port source, each with the device it opens (and a USB
// adapter's product name) beside it in the drop-down list; its edit field takes a typed name.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>

#include "core/window/settings_session.h"
#include "qt/file_chooser.h"

namespace dekvanto::qt {

class SettingsWindow final : public QDialog {
    Q_OBJECT
  public:
    // Opens the session and fills the controls; choose_file shows the loader file dialog.
    SettingsWindow(core::SettingsSession &session, FileChooser choose_file, QWidget *parent);

  public slots:
    void accept() override;
    void reject() override;

  private:
    void BuildControls();
    void FillControls(const core::SettingsDialogContents &contents);
    void OnBrowseLoader();
    core::CurrentSettings ChosenSettings() const;

    core::SettingsSession &session_;
    FileChooser choose_file_;

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
