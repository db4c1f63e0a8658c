#include "app/ScreenshotDirector.h"

#include "antitheft/AntiTheftCommand.h"
#include "app/CApplicationDlg.h"
#include "app/CSelectAdapterDlg.h"
#include "devices/CDevicesControlDlg.h"
#include "devices/CSqlManagement.h"
#include "devices/OperationStartEvent.h"
#include "protocol/AcTransmitManage.h"
#include "protocol/EtherFrame.h"
#include "protocol/TransmitThread.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <optional>
#include <string>

namespace provix {

namespace {

// Time for the window manager to map the window and for animations to reach a telling frame.
constexpr int kSettleMs = 1500;

// The only adapter of ./run --lab.
constexpr const char* kLabAdapter = "provix0 ";

// Rows ticked for the pictures; the screenshot script gives the lab's third device another lock
// code, so that one of them fails.
constexpr int kTickedRows[] = {2, 3, 5};
constexpr const char* kLabLockCode = "lab-lock";

// Monitoring ends by itself within 15 s; this only keeps a broken run from waiting for ever.
constexpr int kVerdictCheckMs = 250;
constexpr int kVerdictChecks = 120;

}  // namespace

ScreenshotDirector::ScreenshotDirector(CApplicationDlg& main_window, QString target)
    : window(main_window), folder(std::move(target)) {
    QDir().mkpath(folder);
    connect(window.AdapterScreen(), &CSelectAdapterDlg::ScanFinished, this,
            [this] { QTimer::singleShot(kSettleMs, this, &ScreenshotDirector::AfterScan); });
    QTimer::singleShot(kSettleMs, this, [this] {
        Save(QStringLiteral("adapter-screen.png"));
        StartScan();
    });
}

std::unique_ptr<ScreenshotDirector> ScreenshotDirector::FromEnvironment(CApplicationDlg& window) {
    const QString folder = qEnvironmentVariable("PROVIX_SCREENSHOTS");
    if (folder.isEmpty())
        return nullptr;
    return std::make_unique<ScreenshotDirector>(window, folder);
}

// The window and, when given, a dialog over it, composed as they stand on the screen.
void ScreenshotDirector::Save(const QString& name, QWidget* over) {
    QPixmap picture = window.grab();
    if (over != nullptr) {
        QPainter painter(&picture);
        painter.drawPixmap(over->mapToGlobal(QPoint(0, 0)) - window.mapToGlobal(QPoint(0, 0)), over->grab());
    }
    const QString path = QDir(folder).filePath(name);
    if (!picture.save(path))
        std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(path));
    else
        std::fprintf(stderr, "screenshots: %s\n", qPrintable(path));
}

void ScreenshotDirector::StartScan() {
    // Pictures are taken in the lab only: a scan here must never put frames on a real network.
    if (window.AdapterScreen()->AdapterText().rfind(kLabAdapter, 0) != 0) {
        std::fprintf(stderr, "screenshots: the adapter is not the lab's %s; no scan\n", kLabAdapter);
        window.reject();
        return;
    }
    window.AdapterScreen()->OnScanDevices();
    if (window.AdapterScreen()->ScanReady()) {
        std::fprintf(stderr, "screenshots: the scan did not start\n");
        window.reject();
        return;
    }
    QTimer::singleShot(kSettleMs, this, [this] { Save(QStringLiteral("scanning.png")); });
}

void ScreenshotDirector::AfterScan() {
    Save(QStringLiteral("devices-screen.png"));
    TickRows();
}

CDevicesControlDlg* ScreenshotDirector::DevicesScreen() const {
    return qobject_cast<CDevicesControlDlg*>(window.Screen(CApplicationDlg::kDevicesScreen));
}

void ScreenshotDirector::TickRows() {
    CDevicesControlDlg* devices = DevicesScreen();
    for (int row : kTickedRows) {
        if (devices == nullptr || row > devices->Grid().RowCount()) {
            std::fprintf(stderr, "screenshots: too few devices to tick; no operation pictures\n");
            AskToExit();
            return;
        }
    }
    for (int row : kTickedRows)
        devices->Grid().OnGridClick(row, kTickColumn);
    QTimer::singleShot(kSettleMs, this, [this] {
        Save(QStringLiteral("devices-ticked.png"));
        StartAntiTheft();
    });
}

void ScreenshotDirector::StartAntiTheft() {
    CDevicesControlDlg* devices = DevicesScreen();
    AntiTheftInput input;
    input.lock_code = input.confirm_lock_code = kLabLockCode;
    input.ac_name = "lab-ac";
    input.primary_dns = "192.168.1.1";
    input.secondary_dns = "8.8.8.8";
    std::string command;
    if (!BuildAntiTheftCommand(input, command).Passed()) {
        std::fprintf(stderr, "screenshots: the anti-theft command was refused\n");
        AskToExit();
        return;
    }
    const SelectionQueue queue = devices->Grid().BuildSelectionQueue();
    PostOperationStart(devices, WM_ANTITHEFT_START, this);
    CSqlManagement& store = CSqlManagement::GetInstance();
    AcTransmitManage& manager = AcTransmitManage::GetInstance();
    store.ResetAllStatuses();
    for (const mac_stu& device : queue) {
        const std::optional<MacAddress> mac = ParseMac(device.mac);
        if (!mac)
            continue;
        store.SetAntiTheftStatus(device.mac, Operating);
        transmit_param_stu request = manager.MakeRequest(*mac, KIND_JSON);
        request.command = command;
        if (!manager.StartTransmit(request))
            std::fprintf(stderr, "screenshots: no transfer to %s\n", device.mac.c_str());
    }
    WaitForVerdicts(kVerdictChecks);
}

void ScreenshotDirector::WaitForVerdicts(int checks_left) {
    QTimer::singleShot(kVerdictCheckMs, this, [this, checks_left] {
        if (DevicesScreen()->Monitor().IsMonitoring()) {
            if (checks_left > 0) {
                WaitForVerdicts(checks_left - 1);
                return;
            }
            std::fprintf(stderr, "screenshots: the operation is still being monitored\n");
        }
        QTimer::singleShot(kSettleMs, this, [this] {
            Save(QStringLiteral("devices-results.png"));
            AskToExit();
        });
    });
}

void ScreenshotDirector::AskToExit() {
    QTimer::singleShot(kSettleMs, this, [this] {
        QWidget* note = QApplication::activeModalWidget();
        if (note == &window)
            note = nullptr;
        Save(QStringLiteral("note-dialog.png"), note);
        if (auto* dialog = qobject_cast<QDialog*>(note))
            dialog->reject();
        QTimer::singleShot(0, &window, &QDialog::reject);
    });
    window.OnClose();
}

}  // namespace provix
