#include "qt/settings_window.h"

#include <QStyledItemDelegate>

#include "qt/artwork.h"
#include "qt/control_builders.h"
#include "qt/dialog_units.h"

namespace dekvanto::qt {
namespace {

constexpr int kDeviceRole = Qt::UserRole + 1;

// Shows each port of the drop-down list with the device behind it; the edit field keeps the
// bare port name.
class PortItemDelegate final : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

  protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString device = index.data(kDeviceRole).toString();
        if (!device.isEmpty()) {
            option->text += QStringLiteral("    ") + device;
        }
    }
};

QComboBox *FixedList(QWidget *parent, const core::SettingValues &values, const char *name) {
    auto *list = new QComboBox(parent);
    for (const core::SettingValue &value : values.values) {
        list->addItem(Text(value.entry));
    }
    list->setAccessibleName(QString::fromLatin1(name));
    return list;
}

// What a port entry shows beside its name: the device and, for a USB adapter, its product.
QString DeviceText(const core::PortEntry &entry) {
    QString text = QString::fromStdString(entry.device);
    if (!entry.product.empty()) {
        text += QStringLiteral(" (") + QString::fromStdString(entry.product) + QStringLiteral(")");
    }
    return text;
}

}  // namespace

SettingsWindow::SettingsWindow(core::SettingsSession &session, FileChooser choose_file,
                               QWidget *parent)
    : QDialog(parent), session_(session), choose_file_(std::move(choose_file)) {
    setWindowTitle(QStringLiteral("Settings"));
    setWindowIcon(ProgramIcon());
    BuildControls();
    const core::SettingsDialogContents contents = session_.Open();
    for (const core::PortEntry &entry : session_.Ports()) {
        port_->addItem(QString::fromStdString(entry.name));
        port_->setItemData(port_->count() - 1, DeviceText(entry), kDeviceRole);
        port_->setItemData(port_->count() - 1, DeviceText(entry), Qt::ToolTipRole);
    }
    FillControls(contents);
}

void SettingsWindow::BuildControls() {
    const DialogUnits du(font());
    setFixedSize(du.Size(291, 191));

    // Template order, which is the tab order.
    auto *ok = Button(this, "OK", du.Rect(66, 170, 50, 14), "OK");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &SettingsWindow::accept);
    auto *cancel = Button(this, "Cancel", du.Rect(159, 170, 50, 14), "Cancel");
    connect(cancel, &QPushButton::clicked, this, &SettingsWindow::reject);

    Group(this, "Port", du.Rect(7, 2, 133, 34));
    speed_ = FixedList(this, core::kSpeeds, "Speed");
    speed_->setGeometry(du.Rect(202, 16, 70, 12));
    Label(this, "Speed:", du.Rect(158, 17, 30, 8));
    parity_ = FixedList(this, core::kParities, "Parity");
    parity_->setGeometry(du.Rect(202, 34, 70, 12));
    Label(this, "Parity:", du.Rect(158, 35, 30, 8));
    stop_bits_ = FixedList(this, core::kStopBits, "Stop bit");
    stop_bits_->setGeometry(du.Rect(202, 52, 70, 12));
    data_bits_ = FixedList(this, core::kDataBits, "Data bit");
    data_bits_->setGeometry(du.Rect(202, 70, 70, 12));
    Label(this, "Stop bit:", du.Rect(158, 53, 30, 8));
    Group(this, "Line Properties", du.Rect(149, 2, 135, 90));
    Label(this, "Data bit:", du.Rect(158, 71, 30, 8));
    Group(this, "Memory Target Properties", du.Rect(7, 38, 135, 52));
    wait_states_ = FixedList(this, core::kWaitStates, "Wait State");
    wait_states_->setGeometry(du.Rect(68, 52, 62, 12));
    Label(this, "Wait State:", du.Rect(19, 53, 40, 10));
    bus_size_ = FixedList(this, core::kBusWidths, "Bus Size");
    bus_size_->setGeometry(du.Rect(68, 72, 62, 12));
    Label(this, "Bus Size:", du.Rect(19, 73, 35, 10));

    port_ = new QComboBox(this);
    port_->setEditable(true);
    port_->setInsertPolicy(QComboBox::NoInsert);
    port_->setItemDelegate(new PortItemDelegate(port_));
    port_->setGeometry(du.Rect(15, 16, 118, 12));
    port_->setAccessibleName(QStringLiteral("Com port"));

    loader_name_ = ReadOnlyBox(this, du.Rect(39, 103, 236, 14), "Loader file name");
    loader_size_ = ReadOnlyBox(this, du.Rect(40, 119, 87, 14), "Loader file size");
    Group(this, "Loader File", du.Rect(7, 92, 277, 47));
    Label(this, "Name:", du.Rect(13, 106, 24, 8));
    Label(this, "Size:", du.Rect(13, 124, 16, 8));
    auto *browse = Button(this, "B&rowse...", du.Rect(201, 121, 73, 14), "Browse loader file");
    connect(browse, &QPushButton::clicked, this, &SettingsWindow::OnBrowseLoader);

    Group(this, "Other", du.Rect(7, 142, 277, 25));
    acknowledge_ = CheckBox(this, "Acknowledge", du.Rect(17, 153, 66, 11));
    pause_ = CheckBox(this, "Pause", du.Rect(98, 153, 58, 10));
}

void SettingsWindow::FillControls(const core::SettingsDialogContents &contents) {
    port_->setCurrentIndex(contents.port_selection);
    if (contents.port_selection < 0) {
        port_->setEditText(QString());
    }
    speed_->setCurrentIndex(contents.speed);
    parity_->setCurrentIndex(contents.parity);
    stop_bits_->setCurrentIndex(contents.stop_bits);
    data_bits_->setCurrentIndex(contents.data_bits);
    wait_states_->setCurrentIndex(contents.wait_states);
    bus_size_->setCurrentIndex(contents.ram_size);
    acknowledge_->setChecked(contents.acknowledge);
    pause_->setChecked(contents.pause);
    loader_name_->setText(QString::fromStdString(contents.loader_path));
    loader_size_->setText(QString::fromStdString(contents.loader_size_text));
}

void SettingsWindow::OnBrowseLoader() {
    const auto choose = [this](const core::FileDialog &dialog, const std::string &folder) {
        return ChooseFileWith(choose_file_, this, dialog, folder);
    };
    if (session_.BrowseLoader(choose)) {
        loader_name_->setText(QString::fromStdString(session_.Rules().EditedLoaderPath()));
        loader_size_->setText(QString::fromStdString(session_.Rules().ShownLoaderSizeText()));
    }
}

core::CurrentSettings SettingsWindow::ChosenSettings() const {
    core::CurrentSettings chosen;
    chosen.port_name = port_->currentText().toStdString();
    chosen.speed = speed_->currentIndex();
    chosen.parity = parity_->currentIndex();
    chosen.stop_bits = stop_bits_->currentIndex();
    chosen.data_bits = data_bits_->currentIndex();
    chosen.ram_size = bus_size_->currentIndex();
    chosen.wait_states = wait_states_->currentIndex();
    chosen.acknowledge = acknowledge_->isChecked() ? 1 : 0;
    chosen.pause = pause_->isChecked() ? 1 : 0;
    return chosen;
}

void SettingsWindow::accept() {
    session_.Ok(ChosenSettings());
    QDialog::accept();
}

void SettingsWindow::reject() {
    session_.Cancel();
    QDialog::reject();
}

}  // namespace dekvanto::qt
