// Reading and working DEKVANTO's windows from another process, the way automation tools do: the
// controls are found by identifier and read with the ordinary window messages (the system carries
// texts across the process boundary); clicks are posted as the commands a click sends, so that a
// command that runs a modal loop (a download, a dialog, a message box) does not hold the driver.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace dekvanto::dialog_test {

// The text of a window (WM_GETTEXT).
std::string WindowText(HWND window);
// The text of control id of dialog.
std::string ControlText(HWND dialog, int id);
// Every line of the list box id, in list order (LB_GETCOUNT, LB_GETTEXT).
std::vector<std::string> ListLines(HWND dialog, int id);
// The selected line of the list box id, or -1.
int ListSelection(HWND dialog, int id);
// Every entry of the combo box id, in list order (CB_GETCOUNT, CB_GETLBTEXT).
std::vector<std::string> ComboEntries(HWND dialog, int id);
int ComboSelection(HWND dialog, int id);
bool Enabled(HWND dialog, int id);
bool Checked(HWND dialog, int id);
// The progress bar's position (PBM_GETPOS).
int ProgressPosition(HWND dialog, int id);

// A click on button id: the command that the button sends its dialog, posted.
void Click(HWND dialog, int id);
// A click on check box id: its check mark changes, then the command is posted.
void ClickCheckBox(HWND dialog, int id);
// Selects entry position of combo box id as the user does: the selection, then its notification.
void ChooseComboEntry(HWND dialog, int id, int position);

// Waits until condition holds, checking whenever the driver's time slice comes round; false when
// it still does not hold after timeout_ms (a hang: the checks then fail with what they see).
bool WaitUntil(const std::function<bool()> &condition, DWORD timeout_ms = 60000);

}  // namespace dekvanto::dialog_test
