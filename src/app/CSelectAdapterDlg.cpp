#include "app/CSelectAdapterDlg.h"

#include "app/ScanEngine.h"
#include "devices/CNoteDlg.h"
#include "language/Translation.h"
#include "language/WindowTranslation.h"
#include "protocol/AdapterList.h"
#include "protocol/CaptureHandle.h"
#include "protocol/CurrentAdapter.h"
#include "ui/AppSettings.h"
#include "ui/CCustomComboBox.h"
#include "ui/CTButtonPicture.h"
#include "ui/CTPicture.h"
#include "ui/CTStaticGdiplus.h"
#include "ui/SkinResources.h"
#include "ui/QtText.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace provix {

namespace {

const QString kFace = QStringLiteral("Microsoft YaHei");
const QColor kRed(216, 34, 40);

void SetLabelColour(CTStaticGdiplus* label, const QColor& colour) {
    label->text_color_normal = label->text_color_hover = colour;
    label->text_color_pressed = label->text_color_disabled = colour;
}

}  // namespace

CSelectAdapterDlg::CSelectAdapterDlg(ScanEngine& scan_engine, QWidget* parent)
    : CTDialog(parent), engine(scan_engine) {
    // A dialog given a parent becomes a window of its own; this screen lives inside the main window.
    setWindowFlags(Qt::Widget);
    logo = new CTPicture(this);
    title_label = new CTStaticGdiplus(this);
    adapter_list = new CCustomComboBox(this);
    scan_button = new CTButtonPicture(this);
    wait_picture = new CTPicture(this);
    footer_label = new CTStaticGdiplus(this);
    title_label->SetText(QStringLiteral("Select Network Adapter"));
    scan_button->setText(QStringLiteral("Scan Devices"));

    TranslateWindow(this);

    setFixedSize(324, 288);
    fill_background = true;
    background_color = ToQColor(AppSettings().ChildBkColor);

    const SkinImagePaths& skin = SkinImages();
    logo->background_color = background_color;
    logo->Load(Path(skin.olvar_logo));
    logo->setGeometry(53, 16, 220, 48);
    logo->Draw();

    // Across the whole screen rather than 178 pixels: the fonts found on Linux run wider than the
    // face the layout was made for, and the title would wrap.
    title_label->setGeometry(8, 64, 308, 32);
    title_label->SetTextFont(kFace, 20, 500);
    SetLabelColour(title_label, QColor(128, 128, 128));
    title_label->align_code = 4;

    adapter_list->setGeometry(53, 120, 218, 24);
    adapter_list->field_height = 24;
    adapter_list->item_height = 20;
    adapter_list->icon_size = QSize(16, 16);
    adapter_list->item_font = SkinFont(kFace, 16, 400);
    adapter_list->list_background = Qt::white;
    adapter_list->field_background = Qt::white;
    adapter_list->highlight_background = QColor(251, 232, 233);
    adapter_list->highlight_text = kRed;
    adapter_list->border_active = kRed;
    adapter_list->border_normal = QColor(180, 180, 180);
    adapter_list->SetArrowImages(Path(skin.combox_down), Path(skin.combox_down), Path(skin.combox_down),
                                 Path(skin.combox_down));

    scan_button->setGeometry(53, 182, 218, 24);
    scan_button->SetImages(Path(skin.scan_btn_normal), Path(skin.scan_btn_over), Path(skin.scan_btn_down),
                           Path(skin.scan_btn_disable));
    scan_button->font_face = kFace;
    scan_button->font_height = 17;
    scan_button->font_weight = 400;
    connect(scan_button, &QAbstractButton::clicked, this, &CSelectAdapterDlg::OnScanDevices);

    // The spinner sits centred under the button, where the operator's eyes are after pressing it.
    wait_picture->background_color = background_color;
    wait_picture->Load(Path(skin.wait_search));
    const QSize spinner = wait_picture->size();
    wait_picture->move(53 + (218 - spinner.width()) / 2, 214);
    wait_picture->hide();

    footer_label->setGeometry(8, 254, 309, 18);
    footer_label->SetTextFont(kFace, 15, 400);
    SetLabelColour(footer_label, QColor(180, 180, 180));
    footer_label->align_code = 4;
    footer_label->SetText(QStringLiteral("Provix %1").arg(QStringLiteral(PROVIX_VERSION)));

    scan_timer.setInterval(kScanPeriodMs);
    connect(&scan_timer, &QTimer::timeout, this, &CSelectAdapterDlg::OnScanTick);

    show_list_error = [this](const QString& text) {
        QMessageBox box(QMessageBox::NoIcon, QString(), text, QMessageBox::Ok, this);
        box.exec();
    };

    RefreshAdapters();
}

void CSelectAdapterDlg::RefreshAdapters() {
    const std::vector<local_adapter_stu> adapters = engine.Adapters();
    adapter_list->ResetItems();
    for (const local_adapter_stu& adapter : adapters)
        adapter_list->AddItem(QString::fromStdString(AdapterDisplayText(adapter)));
    if (adapters.empty())
        return;

    int selected = -1;
    if (!adapter_text.empty()) {
        for (std::size_t i = 0; i < adapters.size(); ++i) {
            if (AdapterDisplayText(adapters[i]) == adapter_text) {
                selected = static_cast<int>(i);
                break;
            }
        }
    }
    if (selected < 0) {
        selected = 0;
        adapter_text = AdapterDisplayText(adapters.front());
    }
    adapter_list->SetCurrentIndex(selected);

    std::string list_error;
    engine.ChooseAdapter(adapters[static_cast<std::size_t>(selected)], list_error);
    SetCurrentAdapterText(adapter_text);
    ReportListError(list_error);
}

void CSelectAdapterDlg::OnScanDevices() {
    if (scan.Scanning())
        return;
    if (adapter_list->CurrentIndex() < 0) {
        CNoteDlg note(Tr("Note"), Tr("Ensure the computer's NIC is enabled!"), false, window());
        note.exec();
        RefreshAdapters();
        return;
    }

    scan_timer.stop();
    wait_picture->show();
    wait_picture->Draw();
    scan.Start();
    scan_button->setEnabled(false);
    scan_button->setText(QStringLiteral("Scanning for devices"));

    const ScanStart start = engine.BeginScan(adapter_list->CurrentIndex());
    if (start.adapter_used)
        adapter_text = start.adapter_text;
    ReportListError(start.list_error);
    if (!start.capture_error.text.empty()) {
        // Nothing was sent and nothing can arrive: waiting out the count rule would only end in an
        // empty list that hides the real problem.
        scan_timer.stop();
        wait_picture->Stop();
        wait_picture->hide();
        scan = ScanRule();
        scan_button->setEnabled(true);
        scan_button->setText(QStringLiteral("Scan Devices"));
        ReportCaptureError(start.capture_error);
        return;
    }
    scan_timer.start();
}

void CSelectAdapterDlg::OnScanTick() {
    if (!scan.Scanning())
        return;
    switch (scan.Tick(engine.DeviceCount())) {
        case ScanRule::Action::End:
            EndScan();
            break;
        case ScanRule::Action::SendDiscover:
            engine.SendDiscover();
            break;
        case ScanRule::Action::Continue:
            break;
    }
}

void CSelectAdapterDlg::EndScan() {
    scan_timer.stop();
    wait_picture->Stop();
    wait_picture->hide();
    scan_button->setEnabled(true);
    scan_button->setText(QStringLiteral("Scan Devices"));
    emit ScanFinished();
}

void CSelectAdapterDlg::ReportListError(const std::string& list_error) {
    if (!list_error.empty() && show_list_error)
        show_list_error(QString::fromStdString(list_error));
}

void CSelectAdapterDlg::ReportCaptureError(const CaptureError& error) {
    QString text;
    if (error.permission) {
        // The full path, so that the command works from any folder.
        QString program = QCoreApplication::applicationFilePath();
        if (program.isEmpty())
            program = QStringLiteral("provix");
        text = Tr("No permission to capture here. As root, run:") + QStringLiteral("\n") +
               QString::fromStdString(PermissionFixCommand(program.toStdString()));
    } else {
        text = Tr("The adapter cannot be opened:") + QStringLiteral(" ") + QString::fromStdString(error.text);
    }
    CNoteDlg note(Tr("Note"), text, false, window());
    note.exec();
}

}  // namespace provix
