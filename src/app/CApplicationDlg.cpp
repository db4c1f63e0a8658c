#include "app/CApplicationDlg.h"

#include "app/CSelectAdapterDlg.h"
#include "app/ProgramIcon.h"
#include "devices/CDevicesControlDlg.h"
#include "devices/CNoteDlg.h"
#include "language/Translation.h"
#include "language/WindowTranslation.h"
#include "protocol/CurrentAdapter.h"
#include "ui/AppSettings.h"
#include "ui/CTButtonPicture.h"
#include "ui/CTStaticGdiplus.h"
#include "ui/QtText.h"
#include "ui/SkinResources.h"


#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>

namespace provix {

namespace {

const QString kFace = QStringLiteral("Microsoft YaHei");

// The system menu of a framed window holds the about item; this frame has none, so the same menu
// opens on a right click on the window's top band.
constexpr int kTopBandHeight = 48;

// The about box: icon, name and version, one OK button.
void ShowAboutBox(QWidget* owner) {
    CTDialog about(owner, Qt::Dialog | Qt::FramelessWindowHint);
    about.setWindowTitle(QStringLiteral("About Provix"));
    about.fill_background = true;
    about.background_color = QColor(248, 248, 248);
    about.drag_enabled = true;
    about.setFixedSize(340, 150);

    auto* icon = new QLabel(&about);
    icon->setPixmap(ProgramIcon().pixmap(48, 48));
    icon->setGeometry(24, 28, 48, 48);
    auto* name = new CTStaticGdiplus(&about);
    name->setGeometry(88, 28, 230, 24);
    name->SetTextFont(kFace, 20, 600);
    name->text_color_normal = name->text_color_hover = name->text_color_pressed = QColor(68, 68, 79);
    name->SetText(QStringLiteral("Provix, Version %1").arg(QStringLiteral(PROVIX_VERSION)));
    auto* line = new CTStaticGdiplus(&about);
    line->setGeometry(88, 54, 230, 20);
    line->SetTextFont(kFace, 15, 400);
    line->SetText(QStringLiteral("Wireless device provisioning"));
    auto* ok = new CTButtonPicture(&about);
    ok->setText(QStringLiteral("Ok"));
    ok->setGeometry(253, 106, 67, 27);
    const SkinImagePaths& skin = SkinImages();
    ok->SetImages(Path(skin.apply_btn_normal), Path(skin.apply_btn_over), Path(skin.apply_btn_down),
                  Path(skin.apply_btn_disable));
    ok->font_face = kFace;
    ok->font_height = 17;
    ok->font_weight = 400;
    QObject::connect(ok, &QAbstractButton::clicked, &about, &QDialog::accept);
    TranslateWindow(&about);
    ApplyRoundedRegion(&about, 340, 150);
    about.exec();
}

}  // namespace

CApplicationDlg::CApplicationDlg(ScanEngine& engine, QWidget* parent)
    : CTDialog(parent, Qt::Window | Qt::FramelessWindowHint) {
    setWindowTitle(QStringLiteral("Provix"));
    minimise_button = new CTButtonPicture(this);
    close_button = new CTButtonPicture(this);
    TranslateWindow(this);

    system_menu = new QMenu(this);
    system_menu->addSeparator();
    connect(system_menu->addAction(QStringLiteral("About Provix...")), &QAction::triggered, this,
            &CApplicationDlg::OnAbout);
    TranslateMenu(system_menu);

    const QIcon icon = ProgramIcon();
    setWindowIcon(icon);

    fill_background = true;
    background_color = ToQColor(AppSettings().ChildBkColor);
    // Without a frame, the window moves by dragging its background (presses the screens leave
    // unhandled come here too).
    drag_enabled = true;

    setFixedSize(kWidth, kHeight);
    minimise_button->setGeometry(763, 16, 16, 16);
    close_button->setGeometry(784, 16, 16, 16);

    minimise_button->setToolTip(Tr("Min"));
    close_button->setToolTip(Tr("Close"));

    const SkinImagePaths& skin = SkinImages();
    minimise_button->SetImages(Path(skin.btn_min_normal), Path(skin.btn_min_over), Path(skin.btn_min_down),
                               Path(skin.btn_min_normal));
    close_button->SetImages(Path(skin.btn_close_normal), Path(skin.btn_close_over), Path(skin.btn_close_down),
                            Path(skin.btn_close_normal));
    connect(minimise_button, &QAbstractButton::clicked, this, &CApplicationDlg::OnMinimise);
    connect(close_button, &QAbstractButton::clicked, this, &CApplicationDlg::OnClose);

    tray_menu = new QMenu(this);
    connect(tray_menu->addAction(QStringLiteral("Show Utility")), &QAction::triggered, this,
            &CApplicationDlg::OnShowUtility);
    connect(tray_menu->addAction(QStringLiteral("Exit")), &QAction::triggered, this,
            &CApplicationDlg::OnTrayExit);
    TranslateMenu(tray_menu);
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        tray_icon = new QSystemTrayIcon(icon, this);
        tray_icon->setToolTip(Tr("Provix"));
        tray_icon->setContextMenu(tray_menu);
        connect(tray_icon, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::DoubleClick)
                        OnShowUtility();
                });
        tray_icon->show();
    }

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    CreateScreens(engine);
    ShowScreen(kAdapterScreen);
}

CApplicationDlg::~CApplicationDlg() {
    if (tray_icon != nullptr)
        tray_icon->hide();
}

void CApplicationDlg::CreateScreens(ScanEngine& engine) {
    adapter_screen = new CSelectAdapterDlg(engine, this);
    adapter_screen->move(247, 126);
    connect(adapter_screen, &CSelectAdapterDlg::ScanFinished, this, &CApplicationDlg::OnScanFinished);

    devices_screen = new CDevicesControlDlg(this);
    devices_screen->move(0, 48);
    connect(devices_screen, &CDevicesControlDlg::ChangeAdapterRequested, this, &CApplicationDlg::OnChangeAdapter);
    connect(devices_screen, &CDevicesControlDlg::ShowScreenRequested, this, &CApplicationDlg::ShowScreen);
    customization_screen = MakeUnavailablePage(QPoint(200, 142), QSize(417, 256));
    antitheft_screen = MakeUnavailablePage(QPoint(198, 57), QSize(421, 426));
}

// A screen that is not part of this build says so and leads back, so the operator is never left on
// a page without a way out (these screens hide the window's own buttons).
QWidget* CApplicationDlg::MakeUnavailablePage(const QPoint& position, const QSize& size) {
    auto* page = new QWidget(this);
    QPalette palette = page->palette();
    palette.setColor(QPalette::Window, Qt::white);
    page->setPalette(palette);
    page->setAutoFillBackground(true);
    page->setGeometry(QRect(position, size));
    auto* text = new CTStaticGdiplus(page);
    text->setGeometry(16, size.height() / 2 - 40, size.width() - 32, 40);
    text->SetTextFont(kFace, 17, 400);
    text->text_color_normal = QColor(68, 68, 79);
    text->align_code = 4;
    text->SetText(QStringLiteral("This screen is not available in this version."));
    auto* back = new CTButtonPicture(page);
    back->setText(QStringLiteral("Back"));
    back->setGeometry((size.width() - 67) / 2, size.height() / 2 + 8, 67, 27);
    const SkinImagePaths& skin = SkinImages();
    back->SetImages(Path(skin.apply_btn_normal), Path(skin.apply_btn_over), Path(skin.apply_btn_down),
                    Path(skin.apply_btn_disable));
    back->font_face = kFace;
    back->font_height = 17;
    back->font_weight = 400;
    connect(back, &QAbstractButton::clicked, this, [this] { ShowScreen(kDevicesScreen); });
    TranslateWindow(page);
    ApplyRoundedRegion(page, size.width(), size.height());
    return page;
}

QWidget* CApplicationDlg::Screen(int id) const {
    switch (id) {
        case kAdapterScreen:
            return adapter_screen;
        case kDevicesScreen:
            return devices_screen;
        case kCustomizationScreen:
            return customization_screen;
        case kAntiTheftScreen:
            return antitheft_screen;
        default:
            return nullptr;
    }
}

void CApplicationDlg::ShowScreen(int id) {
    QWidget* shown = Screen(id);
    if (shown == nullptr)
        return;
    for (int other : {kAdapterScreen, kDevicesScreen, kCustomizationScreen, kAntiTheftScreen})
        Screen(other)->hide();

    const SkinImagePaths& skin = SkinImages();
    const QString close_over = Path(skin.btn_close_over);
    const QString close_down = Path(skin.btn_close_down);
    switch (id) {
        case kAdapterScreen:
            SetBackgroundImage(Path(skin.main_bk_png));
            close_button->SetImages(Path(skin.btn_close_normal2), close_over, close_down,
                                    Path(skin.btn_close_normal2));
            minimise_button->hide();
            break;
        case kDevicesScreen:
            SetBackgroundImage(Path(skin.main_bk_jpg));
            close_button->SetImages(Path(skin.btn_close_normal), close_over, close_down,
                                    Path(skin.btn_close_normal));
            minimise_button->show();
            close_button->show();
            break;
        default:
            SetBackgroundImage(Path(skin.main_bk3));
            close_button->SetImages(Path(skin.btn_close_normal), close_over, close_down,
                                    Path(skin.btn_close_normal));
            minimise_button->hide();
            close_button->hide();
            break;
    }
    shown->show();
    current_screen = id;
    if (id == kAntiTheftScreen)
        shown->setFocus();
    update();
}

void CApplicationDlg::OnMinimise() {
    // Without a tray icon a hidden window could never be brought back.
    if (tray_icon != nullptr && tray_icon->isVisible())
        hide();
    else
        showMinimized();
}

void CApplicationDlg::OnClose() {
    ConfirmAndClose(Tr("Confirm Exit"), Tr("Are you sure you want to exit Provix?"));
}

void CApplicationDlg::OnShowUtility() {
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void CApplicationDlg::OnTrayExit() {
    ConfirmAndClose(Tr("Note"), Tr("Are you sure close program?"));
}

void CApplicationDlg::OnAbout() {
    ShowAboutBox(this);
}

void CApplicationDlg::OnChangeAdapter() {
    adapter_screen->RefreshAdapters();
    ShowScreen(kAdapterScreen);
}

void CApplicationDlg::OnScanFinished() {
    ShowScreen(kDevicesScreen);
    devices_screen->RebuildFromStore();
}

void CApplicationDlg::ConfirmAndClose(const QString& title, const QString& question) {
    CNoteDlg note(title, question, true, this);
    if (note.exec() != QDialog::Accepted)
        return;
    close_confirmed = true;
    if (tray_icon != nullptr)
        tray_icon->hide();
    accept();
}

void CApplicationDlg::contextMenuEvent(QContextMenuEvent* event) {
    if (event->pos().y() < kTopBandHeight) {
        system_menu->exec(event->globalPos());
        return;
    }
    CTDialog::contextMenuEvent(event);
}

void CApplicationDlg::closeEvent(QCloseEvent* event) {
    // A close from the desktop (a window manager's close) asks first, like the close button.
    if (!close_confirmed) {
        event->ignore();
        OnClose();
        return;
    }
    CTDialog::closeEvent(event);
}

}  // namespace provix
