#include "app/CApplicationApp.h"

#include "app/CApplicationDlg.h"
#include "app/ScanEngine.h"
#include "app/ScreenshotDirector.h"
#include "devices/CSqlManagement.h"
#include "devices/DiagnosticLog.h"
#include "language/Translation.h"
#include "protocol/AcTransmitManage.h"
#include "ui/AppSettings.h"
#include "ui/SkinResources.h"

#include <QApplication>
#include <QMessageBox>
#include <QProxyStyle>

#include <cstdlib>

#include <unistd.h>

namespace provix {

namespace {

// Tooltips of the window's buttons appear after half a second.
class ShellStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == SH_ToolTip_WakeUpDelay)
            return 500;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

}  // namespace

CApplicationApp::CApplicationApp() = default;

CApplicationApp::~CApplicationApp() = default;

int CApplicationApp::InitInstance(int& argc, char** argv) {
    // Sockets, common controls and COM need no preparation here; the rest keeps its order.
    InitWindowFramework(argc, argv);
    InitGraphics();
    switch (CreateInstanceLock()) {
        case SingleInstanceLock::Result::Acquired:
            break;
        case SingleInstanceLock::Result::HeldElsewhere:
            return 0;
        case SingleInstanceLock::Result::Unavailable:
            // Better to run unguarded than to refuse work over a lock file.
            break;
    }
    InitTranslation(ProgramFolder());
    ReadSettings();
    ComposeSkinPaths();
    ObtainTransmitManager();
    ObtainResultsStore();
    return RunMainWindow();
}

void CApplicationApp::InitWindowFramework(int& argc, char** argv) {
    application = std::make_unique<QApplication>(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Provix"));
    QApplication::setApplicationVersion(QStringLiteral(PROVIX_VERSION));
    // The window may be hidden to the tray while a note is the only window; closing that note
    // must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setStyle(new ShellStyle);
}

void CApplicationApp::InitGraphics() {
    InstallSkinFontSubstitutions();
}

SingleInstanceLock::Result CApplicationApp::CreateInstanceLock() {
    const LockLocation where = SingleInstanceLockLocation(std::getenv("XDG_RUNTIME_DIR"), getuid());
    instance_lock = std::make_unique<SingleInstanceLock>(where.path, where.in_shared_tmp);
    const SingleInstanceLock::Result result = instance_lock->Acquire();
    if (result == SingleInstanceLock::Result::Unavailable)
        PROVIX_LOG_ERROR("single-instance lock unavailable: %s", instance_lock->Error().c_str());
    return result;
}

void CApplicationApp::InitTranslation(const std::string& folder) {
    InitLanguage(folder);
}

void CApplicationApp::ReadSettings() {
    LoadSettings();
}

void CApplicationApp::ComposeSkinPaths() {
    LoadSkinPaths();
}

void CApplicationApp::ObtainTransmitManager() {
    CSqlManagement::SetOpenFailureHandler([](const std::string& text) {
        QMessageBox box(QMessageBox::NoIcon, QString(), QString::fromStdString(text), QMessageBox::Ok);
        box.exec();
    });
    // Creating the engine creates the results store first, so the store outlives the engine and
    // its threads at exit.
    AcTransmitManage::GetInstance();
}

void CApplicationApp::ObtainResultsStore() {
    CSqlManagement::GetInstance();
}

int CApplicationApp::RunMainWindow() {
    EngineScan engine(AcTransmitManage::GetInstance(), CSqlManagement::GetInstance());
    CApplicationDlg window(engine);
    std::unique_ptr<ScreenshotDirector> director = ScreenshotDirector::FromEnvironment(window);
    window.exec();
    return 0;
}

std::string CApplicationApp::ProgramFolder() {
    return ExecutableFolder();
}

}  // namespace provix
