#pragma once

#include "protocol/ScanRule.h"
#include "ui/CTDialog.h"

#include <QTimer>

#include <functional>
#include <string>

namespace provix {

class CCustomComboBox;
class CTButtonPicture;
class CTPicture;
class CTStaticGdiplus;
class ScanEngine;
struct CaptureError;

// The first screen: the computer's adapters, the one chosen, and the scan that fills the results
// store. The scan runs on a one-second timer and ends by ScanRule; then ScanFinished is emitted.
class CSelectAdapterDlg : public CTDialog {
    Q_OBJECT

public:
    static constexpr int kScanPeriodMs = 1000;

    CSelectAdapterDlg(ScanEngine& engine, QWidget* parent);

    // Refills the list and chooses the adapter used last, or the first one.
    void RefreshAdapters();

    bool ScanReady() const { return !scan.Scanning(); }
    int ScanTicks() const { return scan.Ticks(); }
    const std::string& AdapterText() const { return adapter_text; }
    const QTimer& ScanTimer() const { return scan_timer; }

    CCustomComboBox* AdapterList() const { return adapter_list; }
    CTButtonPicture* ScanButton() const { return scan_button; }
    CTPicture* WaitPicture() const { return wait_picture; }

    // Shows the system message box for a capture library that cannot list its devices; tests
    // replace it to see the text.
    std::function<void(const QString&)> show_list_error;

signals:
    void ScanFinished();

public slots:
    void OnScanDevices();
    // One tick of the scan timer.
    void OnScanTick();

private:
    void EndScan();
    void ReportListError(const std::string& list_error);
    void ReportCaptureError(const CaptureError& error);

    ScanEngine& engine;
    std::string adapter_text;
    ScanRule scan;
    QTimer scan_timer;

    CTPicture* logo;
    CTStaticGdiplus* title_label;
    CCustomComboBox* adapter_list;
    CTButtonPicture* scan_button;
    CTPicture* wait_picture;
    CTStaticGdiplus* footer_label;
};

}  // namespace provix
