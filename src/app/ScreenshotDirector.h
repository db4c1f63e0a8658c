#pragma once

#include <QObject>
#include <QString>

#include <memory>

namespace provix {

class CApplicationDlg;
class CDevicesControlDlg;

// Walks the real window through its screens and saves a picture of each, for the README's
// screenshots: the adapter screen, a running scan, the devices screen after the scan, with ticked
// rows, with the results of an anti-theft command to those rows, and the exit question. Switched
// on by PROVIX_SCREENSHOTS=<folder>; the program ends after the last picture.
class ScreenshotDirector : public QObject {
    Q_OBJECT

public:
    ScreenshotDirector(CApplicationDlg& window, QString folder);

    // Null unless PROVIX_SCREENSHOTS names a folder.
    static std::unique_ptr<ScreenshotDirector> FromEnvironment(CApplicationDlg& window);

private:
    void Save(const QString& name, QWidget* over = nullptr);
    void StartScan();
    void AfterScan();
    CDevicesControlDlg* DevicesScreen() const;
    void TickRows();
    // Does what the anti-theft screen does on Apply, with the lab devices' lock code.
    void StartAntiTheft();
    void WaitForVerdicts(int checks_left);
    void AskToExit();

    CApplicationDlg& window;
    QString folder;
};

}  // namespace provix
