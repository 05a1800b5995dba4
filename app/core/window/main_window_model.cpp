#include "core/window/main_window_model.h"

#include <utility>

#include "core/products/product_table.h"
#include "core/products/window_target.h"
#include "core/settings/path_text.h"
#include "core/window/version_caption.h"

namespace dekvanto::core {

MainWindowModel::MainWindowModel(const ProgramFiles &files, std::unique_ptr<SettingsStore> store,
                                 Engine &engine, PortSource &ports, MainWindowView &view)
    : files_(files),
      store_(std::move(store)),
      ports_(ports),
      view_(view),
      settings_(ReadCurrentSettings(*store_)),
      records_([this](std::string_view text) { view_.ShowMessage(text); }),
      settings_rules_(settings_, records_.loader, *store_),
      products_(ProductTable{}, files_.ProgramDirectoryText()),
      control_(engine, *this, settings_, records_, switches_, *store_) {}

void MainWindowModel::Initialise() {
    view_.SetChecked(WindowControl::kCodeSwitch, switches_.code);
    view_.SetChecked(WindowControl::kPersoSwitch, switches_.perso);
    FollowPersoSwitch();
    records_.LoadFilePaths(*store_);
    records_.SummariseAllFiles(*store_);
    LoadProducts();
    ShowFileSummary();
    view_.SetCaption(WindowTitle(view_.Caption(), files_.ProgramDirectoryText()));
    StartFileWatch();
    TellUnsavedSettings();
}

void MainWindowModel::LoadProducts() {
    products_ =
        ProductSelection(LoadProductList(files_.product_list), files_.ProgramDirectoryText());
    view_.SetProductEntries(products_.Entries());
    const std::optional<ProductChoice> restored =
        products_.Restore(*store_, WindowTarget(records_, settings_));
    view_.SelectProduct(products_.Position());
    ApplyProductChoice(restored);
}

void MainWindowModel::ApplyProductChoice(const std::optional<ProductChoice> &choice) {
    if (!choice) {
        return;
    }
    ApplyWindowTarget(choice->target, records_, settings_);
    const bool allowed = choice->personalization_allowed;
    if (!allowed) {
        switches_.perso = false;
        view_.SetChecked(WindowControl::kPersoSwitch, false);
    }
    for (const WindowControl control : {WindowControl::kPersoSwitch, WindowControl::kPersoPath,
                                        WindowControl::kPersoBrowse, WindowControl::kPersoSize}) {
        view_.Enable(control, allowed);
    }
}

void MainWindowModel::OnCodeSwitch(bool checked) {
    switches_.code = checked;
    FollowCodeSwitch();
}

void MainWindowModel::OnPersoSwitch(bool checked) {
    switches_.perso = checked;
    FollowPersoSwitch();
}

void MainWindowModel::FollowCodeSwitch() {
    for (const WindowControl control : {WindowControl::kCodePath, WindowControl::kCodeSize,
                                        WindowControl::kCodeBrowse, WindowControl::kCodeChecksum}) {
        view_.Enable(control, switches_.code);
    }
}

void MainWindowModel::FollowPersoSwitch() {
    for (const WindowControl control :
         {WindowControl::kPersoPath, WindowControl::kPersoBrowse, WindowControl::kPersoSize}) {
        view_.Enable(control, switches_.perso);
    }
}

void MainWindowModel::OnProductSelected(int position) {
    ApplyProductChoice(products_.Choose(position, *store_, WindowTarget(records_, settings_)));
    TellUnsavedSettings();
}

void MainWindowModel::OnProperties() {
    SettingsSession session(settings_rules_, ports_, files_.ProgramDirectoryText());
    view_.RunSettingsDialog(session);
    if (settings_rules_.Changed()) {
        // The selection becomes "None" at once, not only at the next product pick or check box
        // click: until then a download would still enable and disable the personalization box
        // for a product that the box no longer shows.
        products_.ResetToNone();
        view_.SelectProduct(0);
    }
    ShowFileSummary();
    TellUnsavedSettings();
}

void MainWindowModel::OnBrowseCodeFile() {
    BrowseFile(kCodeFileDialog, records_.code.path, &FileRecords::ChooseCodeFile);
}

void MainWindowModel::OnBrowsePersoFile() {
    BrowseFile(kPersoFileDialog, records_.perso.path, &FileRecords::ChoosePersoFile);
}

void MainWindowModel::BrowseFile(const FileDialog &dialog, const std::string &current,
                                 ChooseInRecords choose) {
    const bool watching = file_watch_running_;
    StopFileWatch();
    const std::string chosen = view_.ChooseFile(dialog, FolderOfPath(current));
    if (!chosen.empty() && (records_.*choose)(chosen, *store_)) {
        ShowFileSummary();
    }
    if (watching) {
        StartFileWatch();
    }
    TellUnsavedSettings();
}

// A setting that did not reach the disk is kept for this run; the log says so, so that nobody
// expects to find it at the next start.
void MainWindowModel::TellUnsavedSettings() {
    if (const std::optional<std::string> reason = store_->TakeUnsavedReason()) {
        view_.AddLogLine(*reason);
    }
}

void MainWindowModel::OnFileWatch() {
    StopFileWatch();
    if (records_.OnFileWatch()) {
        ShowFileSummary();
    }
    StartFileWatch();
}

bool MainWindowModel::OnCloseRequest() {
    if (!control_.OnCloseRequest()) {
        return false;
    }
    StopFileWatch();
    return true;
}

void MainWindowModel::ShowFileSummary() {
    view_.SetText(WindowControl::kCodePath, records_.code.path);
    view_.SetText(WindowControl::kCodeSize, records_.code.size_text);
    view_.SetText(WindowControl::kCodeChecksum, records_.code.checksum_text);
    view_.SetText(WindowControl::kPersoPath, records_.perso.path);
    view_.SetText(WindowControl::kPersoSize, records_.perso.size_text);
    view_.SetText(WindowControl::kPort, settings_.port_name);
    view_.Repaint();
}

void MainWindowModel::StopFileWatch() {
    file_watch_running_ = false;
    view_.StopFileWatch();
}

void MainWindowModel::StartFileWatch() {
    file_watch_running_ = true;
    view_.StartFileWatch();
}

void MainWindowModel::EnableControls(bool on) {
    // The code file's "&Browse..." follows its check box: a switched-off file is not chosen.
    view_.Enable(WindowControl::kCodeBrowse, on && switches_.code);
    view_.Enable(WindowControl::kProperties, on);
    view_.Enable(WindowControl::kCodeSwitch, on);
    // Without a product that takes one, the personalization box keeps the state that the
    // product choice (or the start) gave it.
    if (products_.PersonalizationAllowed()) {
        view_.Enable(WindowControl::kPersoSwitch, on);
    }
    view_.Enable(WindowControl::kProduct, on);
}

}  // namespace dekvanto::core
