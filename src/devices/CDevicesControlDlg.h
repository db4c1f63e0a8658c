#pragma once

#include "devices/DeviceGridModel.h"
#include "devices/OperationMonitor.h"

#include <QWidget>

#include <memory>

namespace provix {

class CSqlManagement;
class CTButtonPicture;
class CTStaticGdiplus;
class DeviceGridTableModel;
class DeviceGridView;
class DeviceSelectionReceiver;
class MonitorTimers;
class QtMonitorTimers;

// The devices screen: the grid of scanned devices with their ticks and status icons, the success
// and failure counters, the adapter label, and the two operation buttons. While an operation
// runs it disables itself and follows the devices' results in the store on three timers.
class CDevicesControlDlg : public QWidget {
    Q_OBJECT

public:
    static constexpr int kScreenId = 161;
    static constexpr int kCustomizationScreenId = 162;
    static constexpr int kAntiTheftScreenId = 163;
    static constexpr int kAdapterLabelChars = 70;

    // The screen on the process-wide results store.
    explicit CDevicesControlDlg(QWidget* parent = nullptr);
    // On its own store and, when timers is not null, on those timers instead of the event loop's.
    CDevicesControlDlg(CSqlManagement* store, MonitorTimers* timers, QWidget* parent = nullptr);
    ~CDevicesControlDlg() override;

    // The operation screens that receive a copy of the ticked devices; either may be null.
    void SetOperationScreens(DeviceSelectionReceiver* customization, DeviceSelectionReceiver* antitheft);

    // "NIC:" and the start of the chosen adapter's text; the whole text as the tooltip.
    void RefreshAdapterLabel();
    void RefreshList(bool rebuild, bool ascending, int column);
    // Turns the buttons and the grid on or off.
    void EnableControls(bool enable);

    DeviceGridModel& Grid();
    DeviceGridView* View() const { return grid_view; }
    OperationMonitor& Monitor() { return *monitor; }
    CTButtonPicture* CustomizationButton() const { return customization_button; }
    CTButtonPicture* AntiTheftButton() const { return antitheft_button; }
    CTButtonPicture* ChangeButton() const { return change_button; }
    CTStaticGdiplus* AdapterLabel() const { return adapter_label; }
    CTStaticGdiplus* SuccessCountLabel() const { return success_count_label; }
    CTStaticGdiplus* FailCountLabel() const { return fail_count_label; }
    CTStaticGdiplus* TickedCountLabel() const { return ticked_count_label; }

public slots:
    // After a scan: the adapter label, then the grid rebuilt from the store sorted by MAC.
    void RebuildFromStore();

signals:
    // The operator wants another adapter: the main window refreshes the adapter list and shows it.
    void ChangeAdapterRequested();
    // Switch the main window to screen id (162 customization, 163 anti-theft).
    void ShowScreenRequested(int id);

protected:
    bool event(QEvent* event) override;

private:
    void BuildControls();
    void OnGridClick(int row, int column);
    void OnOperationButton(int screen_id, DeviceSelectionReceiver* receiver);
    void OnChange();
    void ShowCounters();
    void LayoutCounters();

    CSqlManagement* store;
    std::unique_ptr<QtMonitorTimers> own_timers;
    MonitorTimers* timers;
    DeviceGridTableModel* grid_model = nullptr;
    std::unique_ptr<OperationMonitor> monitor;
    DeviceSelectionReceiver* customization_screen = nullptr;
    DeviceSelectionReceiver* antitheft_screen = nullptr;

    CTButtonPicture* customization_button = nullptr;
    CTButtonPicture* antitheft_button = nullptr;
    CTStaticGdiplus* adapter_label = nullptr;
    CTButtonPicture* change_button = nullptr;
    CTStaticGdiplus* success_text_label = nullptr;
    CTStaticGdiplus* success_count_label = nullptr;
    CTStaticGdiplus* fail_text_label = nullptr;
    CTStaticGdiplus* fail_count_label = nullptr;
    CTStaticGdiplus* devices_text_label = nullptr;
    CTStaticGdiplus* online_text_label = nullptr;
    CTStaticGdiplus* ticked_count_label = nullptr;
    DeviceGridView* grid_view = nullptr;
};

}  // namespace provix
