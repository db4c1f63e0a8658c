#include "app/ScreenshotDirector.h"

#include "app/CApplicationDlg.h"
#include "app/CSelectAdapterDlg.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

namespace provix {

namespace {

// Time for the window manager to map the window and for animations to reach a telling frame.
constexpr int kSettleMs = 1500;

// The only adapter of ./run --lab.
constexpr const char* kLabAdapter = "provix0 ";

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
    AskToExit();
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
