#pragma once

#include "ui/CTDialog.h"

#include <QString>

#include <optional>

namespace provix {

class CColorLine;
class CTButtonPicture;
class CTStaticGdiplus;

// The program's message box: a notice with "Ok", or a question with "Ok" and "Cancel" that
// the caller goes on with only on OK. exec() gives QDialog::Accepted for OK and
// QDialog::Rejected for Cancel or the close button; Enter and Escape do not end it.
class CNoteDlg : public CTDialog {
    Q_OBJECT

public:
    // title and note are shown as given (callers translate them); owner nullptr means the
    // application's active window.
    CNoteDlg(const QString& title, const QString& note, bool show_cancel, QWidget* owner = nullptr);

    int exec() override;

    // Makes the next exec() of any note dialog return answer at once without showing it,
    // so that tests can drive code that asks the operator.
    static void SetNextAnswer(int answer);
    static void ClearNextAnswer();

    CTButtonPicture* OkButton() const { return ok_button; }
    CTButtonPicture* CancelButton() const { return cancel_button; }
    CTButtonPicture* CloseButton() const { return close_button; }
    CTStaticGdiplus* TitleLabel() const { return title_label; }
    CTStaticGdiplus* NoteLabel() const { return note_label; }

    QString title;
    QString note;
    bool show_cancel = false;

private:
    static std::optional<int> next_answer;

    CTStaticGdiplus* title_label;
    CTButtonPicture* close_button;
    CColorLine* title_line;
    CTStaticGdiplus* note_label;
    CColorLine* bottom_line;
    CTButtonPicture* cancel_button;
    CTButtonPicture* ok_button;
};

}  // namespace provix
