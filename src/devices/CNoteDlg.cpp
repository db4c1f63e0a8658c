#include "devices/CNoteDlg.h"

#include "language/Translation.h"
#include "ui/AppSettings.h"
#include "ui/CColorLine.h"
#include "ui/CTButtonPicture.h"
#include "ui/CTStaticGdiplus.h"
#include "ui/QtText.h"

#include <QApplication>

namespace provix {

namespace {

const QString kFace = QStringLiteral("Microsoft YaHei");
const QColor kTextColor(68, 68, 79);
const QColor kRed(216, 34, 40);
const QColor kLineColor(235, 238, 237);

}  // namespace

std::optional<int> CNoteDlg::next_answer;

CNoteDlg::CNoteDlg(const QString& title_text, const QString& note_text, bool with_cancel, QWidget* owner)
    : CTDialog(owner != nullptr ? owner : QApplication::activeWindow(), Qt::Dialog | Qt::FramelessWindowHint),
      title(title_text),
      note(note_text),
      show_cancel(with_cancel) {
    setModal(true);
    setWindowTitle(title);

    fill_background = true;
    background_color = QColor(248, 248, 248);
    drag_enabled = true;

    title_label = new CTStaticGdiplus(this);
    close_button = new CTButtonPicture(this);
    title_line = new CColorLine(this);
    note_label = new CTStaticGdiplus(this);
    bottom_line = new CColorLine(this);
    cancel_button = new CTButtonPicture(this);
    ok_button = new CTButtonPicture(this);

    setFixedSize(415, 162);
    title_label->setGeometry(16, 11, 105, 18);
    close_button->setGeometry(388, 12, 16, 16);
    title_line->setGeometry(0, 35, 420, 1);
    note_label->setGeometry(65, 49, 320, 60);
    bottom_line->setGeometry(0, 116, 420, 1);
    cancel_button->setGeometry(252, 128, 71, 27);
    ok_button->setGeometry(332, 128, 67, 27);

    title_line->color = kLineColor;
    bottom_line->color = kLineColor;
    bottom_line->hide();

    title_label->SetTextFont(kFace, 17, 600);
    title_label->text_color_normal = title_label->text_color_hover = kTextColor;
    title_label->text_color_pressed = title_label->text_color_disabled = kTextColor;
    title_label->SetText(title);

    note_label->SetTextFont(kFace, 17, 400);
    note_label->text_color_normal = note_label->text_color_hover = kTextColor;
    note_label->text_color_pressed = note_label->text_color_disabled = kTextColor;
    note_label->SetText(note);

    const SkinImagePaths& skin = SkinImages();
    ok_button->setText(Tr("Ok"));
    ok_button->SetImages(Path(skin.apply_btn_normal), Path(skin.apply_btn_over), Path(skin.apply_btn_down),
                         Path(skin.apply_btn_disable));
    ok_button->font_face = kFace;
    ok_button->font_height = 17;
    ok_button->font_weight = 400;

    close_button->SetImages(Path(skin.btn_child_close2), Path(skin.btn_child_close2),
                            Path(skin.btn_child_close2), Path(skin.btn_child_close2));

    cancel_button->setText(Tr("Cancel"));
    cancel_button->SetImages(Path(skin.cancel_btn_normal), Path(skin.cancel_btn_over),
                             Path(skin.cancel_btn_down), Path(skin.cancel_btn_normal));
    cancel_button->text_color_normal = kTextColor;
    cancel_button->text_color_hover = kRed;
    cancel_button->text_color_disabled = kTextColor;
    cancel_button->font_face = kFace;
    cancel_button->font_height = 17;
    cancel_button->font_weight = 400;
    cancel_button->setVisible(show_cancel);

    connect(ok_button, &QAbstractButton::clicked, this, &QDialog::accept);
    connect(cancel_button, &QAbstractButton::clicked, this, &QDialog::reject);
    connect(close_button, &QAbstractButton::clicked, this, &QDialog::reject);

    ApplyRoundedRegion(this, 415, 162);
    ok_button->setFocus();
}

int CNoteDlg::exec() {
    if (next_answer) {
        const int answer = *next_answer;
        next_answer.reset();
        setResult(answer);
        return answer;
    }
    return CTDialog::exec();
}

void CNoteDlg::SetNextAnswer(int answer) {
    next_answer = answer;
}

void CNoteDlg::ClearNextAnswer() {
    next_answer.reset();
}

}  // namespace provix
