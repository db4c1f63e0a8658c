#include "devices/CDevicesControlDlg.h"

#include "devices/CNoteDlg.h"
#include "devices/CSqlManagement.h"
#include "devices/DeviceGridLook.h"
#include "devices/DeviceGridTableModel.h"
#include "devices/DeviceGridView.h"
#include "devices/DeviceSelectionReceiver.h"
#include "devices/OperationStartEvent.h"
#include "devices/QtMonitorTimers.h"
#include "language/Translation.h"
#include "protocol/CurrentAdapter.h"
#include "ui/AppSettings.h"
#include "ui/CTButtonPicture.h"
#include "ui/CTStaticGdiplus.h"
#include "ui/QtText.h"

#include <QFontMetrics>

#include <algorithm>

namespace provix {

namespace {

const QString kFace = QStringLiteral("Microsoft YaHei");
const QColor kBlack(0, 0, 0);
const QColor kChangeTextColor(216, 34, 40);

CTStaticGdiplus* MakeLabel(QWidget* parent, const QString& text, int weight) {
    auto* label = new CTStaticGdiplus(parent);
    label->SetTextFont(kFace, 17, weight);
    label->text_color_normal = label->text_color_hover = kBlack;
    label->text_color_pressed = label->text_color_disabled = kBlack;
    label->SetText(text);
    return label;
}

}  // namespace

CDevicesControlDlg::CDevicesControlDlg(QWidget* parent)
    : CDevicesControlDlg(&CSqlManagement::GetInstance(), nullptr, parent) {}

CDevicesControlDlg::CDevicesControlDlg(CSqlManagement* results_store, MonitorTimers* monitor_timers,
                                       QWidget* parent)
    : QWidget(parent), store(results_store), timers(monitor_timers) {
    if (timers == nullptr) {
        own_timers = std::make_unique<QtMonitorTimers>();
        own_timers->fire = [this](int id) { monitor->OnTimer(id); };
        timers = own_timers.get();
    }
    grid_model = new DeviceGridTableModel(store, this);
    monitor = std::make_unique<OperationMonitor>(grid_model->Grid(), store, *timers);
    monitor->enable_controls = [this](bool enable) { EnableControls(enable); };
    BuildControls();
    ShowCounters();
}

CDevicesControlDlg::~CDevicesControlDlg() {
    if (own_timers) {
        own_timers->fire = nullptr;
        for (int id :
             {OperationMonitor::kPollTimer, OperationMonitor::kCountTimer, OperationMonitor::kWatchTimer})
            own_timers->Kill(id);
    }
}

void CDevicesControlDlg::BuildControls() {
    const AppSettingsValues& settings = AppSettings();
    const SkinImagePaths& skin = SkinImages();

    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, ToQColor(settings.ChildBkColor));
    setPalette(colours);
    resize(817, 492);

    customization_button = new CTButtonPicture(this);
    antitheft_button = new CTButtonPicture(this);
    const std::pair<CTButtonPicture*, const char*> operation_buttons[] = {
        {customization_button, "Device Customization"},
        {antitheft_button, "Anti-Theft Protection"},
    };
    for (const auto& [button, text] : operation_buttons) {
        button->setText(Tr(text));
        button->SetImages(Path(skin.protection_btn_normal), Path(skin.protection_btn_over),
                          Path(skin.protection_btn_down), Path(skin.protection_btn_disable));
        button->font_face = kFace;
        button->font_height = 17;
        button->font_weight = 400;
        button->text_color_normal = button->text_color_hover = button->text_color_disabled =
            QColor(255, 255, 255);
    }
    customization_button->setGeometry(24, 24, 140, 24);
    antitheft_button->setGeometry(190, 24, 142, 24);

    adapter_label = MakeLabel(this, QString(), 500);
    adapter_label->setGeometry(480, 30, 243, 36);

    change_button = new CTButtonPicture(this);
    change_button->setText(Tr("Change"));
    const QString change_image = Path(skin.change_btn_normal);
    change_button->SetImages(change_image, change_image, change_image, change_image);
    change_button->font_face = kFace;
    change_button->font_height = 17;
    change_button->font_weight = 500;
    change_button->text_color_normal = change_button->text_color_hover = kChangeTextColor;
    change_button->setGeometry(723, 30, 48, 18);

    success_text_label = MakeLabel(this, Tr("Configuration successful: "), 0);
    success_count_label = MakeLabel(this, QStringLiteral("0"), 0);
    fail_text_label = MakeLabel(this, Tr("devices, Failed:"), 0);
    fail_count_label = MakeLabel(this, QStringLiteral("0"), 0);
    devices_text_label = MakeLabel(this, Tr("devices"), 0);
    // Centred in cells a little wider than a digit, so a count stands a space from the words on
    // both sides ("Failed: 1 devices", not "Failed:1  devices").
    success_count_label->align_code = fail_count_label->align_code = 4;
    // Never shown; the ticked count is kept in it.
    online_text_label = MakeLabel(this, Tr("Online devices count:"), 0);
    ticked_count_label = MakeLabel(this, QStringLiteral("0"), 0);
    online_text_label->setGeometry(600, 63, 150, 18);
    ticked_count_label->setGeometry(750, 63, 30, 18);
    online_text_label->hide();
    ticked_count_label->hide();
    LayoutCounters();

    grid_view = new DeviceGridView(grid_model, DeviceGridLook::FromSettings(), this);
    // The page is 492 pixels high; the grid fills it below the counters.
    grid_view->setGeometry(22, 99, 782, 386);

    connect(grid_view, &DeviceGridView::GridClicked, this, &CDevicesControlDlg::OnGridClick);
    // Every grid change, counts included, ends with a header refresh.
    connect(grid_model, &QAbstractItemModel::headerDataChanged, this, &CDevicesControlDlg::ShowCounters);
    connect(grid_model, &QAbstractItemModel::modelReset, this, &CDevicesControlDlg::ShowCounters);
    connect(customization_button, &QAbstractButton::clicked, this,
            [this] { OnOperationButton(kCustomizationScreenId, customization_screen); });
    connect(antitheft_button, &QAbstractButton::clicked, this,
            [this] { OnOperationButton(kAntiTheftScreenId, antitheft_screen); });
    connect(change_button, &QAbstractButton::clicked, this, &CDevicesControlDlg::OnChange);

    RefreshAdapterLabel();
}

void CDevicesControlDlg::SetOperationScreens(DeviceSelectionReceiver* customization,
                                             DeviceSelectionReceiver* antitheft) {
    customization_screen = customization;
    antitheft_screen = antitheft;
}

DeviceGridModel& CDevicesControlDlg::Grid() {
    return grid_model->Grid();
}

void CDevicesControlDlg::RefreshAdapterLabel() {
    const QString text = QString::fromStdString(CurrentAdapterText());
    adapter_label->SetText(QStringLiteral("NIC:") + text.left(kAdapterLabelChars));
    adapter_label->setToolTip(text);
}

void CDevicesControlDlg::RefreshList(bool rebuild, bool ascending, int column) {
    Grid().RefreshList(rebuild, ascending, column);
}

void CDevicesControlDlg::RebuildFromStore() {
    RefreshAdapterLabel();
    RefreshList(true, Grid().SortAscending(), kMacColumn);
}

void CDevicesControlDlg::EnableControls(bool enable) {
    for (QWidget* control :
         {static_cast<QWidget*>(antitheft_button), static_cast<QWidget*>(customization_button),
          static_cast<QWidget*>(grid_view), static_cast<QWidget*>(change_button)})
        control->setEnabled(enable);
}

bool CDevicesControlDlg::event(QEvent* event) {
    if (event->type() == WM_ANTITHEFT_START || event->type() == WM_CUSTOMIZE_START) {
        const auto* start = dynamic_cast<OperationStartEvent*>(event);
        monitor->OnOperationStarted(start != nullptr ? start->sender_screen : nullptr);
        return true;
    }
    return QWidget::event(event);
}

void CDevicesControlDlg::OnGridClick(int row, int column) {
    Grid().OnGridClick(row, column);
}

void CDevicesControlDlg::OnOperationButton(int screen_id, DeviceSelectionReceiver* receiver) {
    const SelectionQueue& queue = Grid().BuildSelectionQueue();
    if (queue.empty()) {
        CNoteDlg note(Tr("Note"), Tr("Please select the devices!"), false, this);
        note.exec();
        return;
    }
    emit ShowScreenRequested(screen_id);
    // The operation screen gets its own copy; this screen keeps the queue for monitoring.
    if (receiver != nullptr)
        receiver->SetDevices(queue);
}

void CDevicesControlDlg::OnChange() {
    emit ChangeAdapterRequested();
    Grid().ClearTicks();
}

void CDevicesControlDlg::ShowCounters() {
    const DeviceGridModel& grid = Grid();
    success_count_label->SetText(QString::number(grid.SuccessCount()));
    fail_count_label->SetText(QString::number(grid.FailCount()));
    ticked_count_label->SetText(QString::number(grid.TickedCount()));
    LayoutCounters();
}

void CDevicesControlDlg::LayoutCounters() {
    // Each text gets at least its layout width and more when it needs it (large
    // counts, longer translations), so that nothing is cut off; the labels after it move along.
    const std::pair<CTStaticGdiplus*, int> row[] = {
        {success_text_label, 150}, {success_count_label, 17}, {fail_text_label, 92},
        {fail_count_label, 17},    {devices_text_label, 45},
    };
    int x = 26;
    for (const auto& [label, template_width] : row) {
        const int needed = QFontMetrics(label->TextFont()).horizontalAdvance(label->Text()) + 2;
        const int width = std::max(template_width, needed);
        label->setGeometry(x, 63, width, 18);
        x += width;
    }
}

}  // namespace provix
