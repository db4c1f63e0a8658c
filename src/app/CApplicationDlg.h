#pragma once

#include "ui/CTDialog.h"

#include <array>

class QMenu;
class QSystemTrayIcon;

namespace provix {

class CDevicesControlDlg;
class CSelectAdapterDlg;
class CTButtonPicture;
class ScanEngine;

// The program's only top-level window: a frameless skinned frame with its own minimise and close
// buttons and a tray icon, hosting four screens of which one is visible at a time.
class CApplicationDlg : public CTDialog {
    Q_OBJECT

public:
    static constexpr int kAdapterScreen = 160;
    static constexpr int kDevicesScreen = 161;
    static constexpr int kCustomizationScreen = 162;
    static constexpr int kAntiTheftScreen = 163;
    static constexpr int kWidth = 817;
    static constexpr int kHeight = 540;

    explicit CApplicationDlg(ScanEngine& engine, QWidget* parent = nullptr);
    ~CApplicationDlg() override;

    int CurrentScreen() const { return current_screen; }
    QWidget* Screen(int id) const;
    CSelectAdapterDlg* AdapterScreen() const { return adapter_screen; }
    CTButtonPicture* MinimiseButton() const { return minimise_button; }
    CTButtonPicture* CloseButton() const { return close_button; }
    QMenu* TrayMenu() const { return tray_menu; }
    QMenu* SystemMenu() const { return system_menu; }
    // Null where the desktop has no tray.
    QSystemTrayIcon* TrayIcon() const { return tray_icon; }

public slots:
    void ShowScreen(int id);
    // Hides the window to the tray, or minimises it where there is no tray to come back from.
    void OnMinimise();
    // Asks "Are you sure you want to exit Provix?" and closes on OK.
    void OnClose();
    void OnShowUtility();
    // The tray menu's exit: asks "Are you sure close program?" and closes on OK.
    void OnTrayExit();
    void OnAbout();
    // The devices screen asked to change the adapter.
    void OnChangeAdapter();
    // A scan has ended.
    void OnScanFinished();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateScreens(ScanEngine& engine);
    QWidget* MakeUnavailablePage(const QPoint& position, const QSize& size);
    void ConfirmAndClose(const QString& title, const QString& question);

    CTButtonPicture* minimise_button;
    CTButtonPicture* close_button;
    QMenu* tray_menu;
    QMenu* system_menu;
    QSystemTrayIcon* tray_icon = nullptr;

    CSelectAdapterDlg* adapter_screen = nullptr;
    CDevicesControlDlg* devices_screen = nullptr;
    QWidget* customization_screen = nullptr;
    QWidget* antitheft_screen = nullptr;
    int current_screen = 0;
    bool close_confirmed = false;
};

}  // namespace provix
