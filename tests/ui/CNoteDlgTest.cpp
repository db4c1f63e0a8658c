#include "SkinImageFiles.h"
#include "devices/CNoteDlg.h"
#include "ui/AppSettings.h"
#include "ui/CTButtonPicture.h"
#include "ui/CTStaticGdiplus.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace provix {
namespace {

const QColor kApply(200, 30, 30);
const QColor kCancelSkin(240, 240, 240);
const QColor kClose(90, 90, 90);

// A skin folder with the note dialog's pictures in plain colours.
class NoteDialog : public testing::Test {
protected:
    static void SetUpTestSuite() {
        skin_dir = new QTemporaryDir;
        const QString skin = skin_dir->filePath("Skin/");
        for (const char* name :
             {"apply_btn_normal.png", "apply_btn_over.png", "apply_btn_down.png", "apply_btn_disable.png"})
            test::WriteSolidImage(skin + name, QSize(67, 27), kApply);
        for (const char* name : {"cancel_btn_normal.png", "cancel_btn_over.png", "cancel_btn_down.png"})
            test::WriteSolidImage(skin + name, QSize(71, 27), kCancelSkin);
        test::WriteSolidImage(skin + "btn_child_close2.png", QSize(16, 16), kClose);
        LoadSkinPaths(skin_dir->path().toStdString() + "/");
    }
    static void TearDownTestSuite() {
        delete skin_dir;
        skin_dir = nullptr;
    }
    void TearDown() override { CNoteDlg::ClearNextAnswer(); }

    // Shows the dialog without a nested event loop and waits until it can take input.
    static void Show(CNoteDlg& dialog) {
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    }

    static QTemporaryDir* skin_dir;
};

QTemporaryDir* NoteDialog::skin_dir = nullptr;

TEST_F(NoteDialog, LayoutAndTexts) {
    for (bool show_cancel : {false, true}) {
        SCOPED_TRACE(show_cancel);
        CNoteDlg dialog("Note", "Please select devices first.", show_cancel);
        Show(dialog);
        EXPECT_EQ(dialog.size(), QSize(415, 162));
        EXPECT_EQ(dialog.TitleLabel()->Text(), "Note");
        EXPECT_EQ(dialog.NoteLabel()->Text(), "Please select devices first.");
        EXPECT_EQ(dialog.OkButton()->text(), "Ok");
        EXPECT_EQ(dialog.OkButton()->geometry(), QRect(332, 128, 67, 27));
        EXPECT_EQ(dialog.CloseButton()->geometry(), QRect(388, 12, 16, 16));
        EXPECT_TRUE(dialog.OkButton()->isVisible());
        EXPECT_TRUE(dialog.CloseButton()->isVisible());
        EXPECT_EQ(dialog.CancelButton()->isVisible(), show_cancel);
        EXPECT_EQ(dialog.CancelButton()->text(), "Cancel");
        EXPECT_EQ(dialog.CancelButton()->geometry(), QRect(252, 128, 71, 27));
        EXPECT_FALSE(dialog.mask().contains(QPoint(0, 0)));

        // Skin pictures reach the buttons; the body is the dialog's own grey.
        const QImage shot = dialog.grab().toImage();
        EXPECT_EQ(shot.pixelColor(334, 130), kApply);
        EXPECT_EQ(shot.pixelColor(389, 13), kClose);
        EXPECT_EQ(shot.pixelColor(30, 120), QColor(248, 248, 248));
        EXPECT_EQ(shot.pixelColor(200, 35), QColor(235, 238, 237));
        if (show_cancel) {
            EXPECT_EQ(shot.pixelColor(254, 130), kCancelSkin);
        }
    }
}

TEST_F(NoteDialog, ButtonsEndItWithTheirResult) {
    struct Case {
        const char* button;
        bool show_cancel;
        int result;
    };
    const Case cases[] = {
        {"ok", false, QDialog::Accepted},   {"close", false, QDialog::Rejected},
        {"ok", true, QDialog::Accepted},    {"cancel", true, QDialog::Rejected},
        {"close", true, QDialog::Rejected},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.button << " " << c.show_cancel);
        CNoteDlg dialog("Confirm Exit", "Are you sure?", c.show_cancel);
        Show(dialog);
        dialog.setResult(-1);
        CTButtonPicture* button = std::string(c.button) == "ok"       ? dialog.OkButton()
                                  : std::string(c.button) == "cancel" ? dialog.CancelButton()
                                                                      : dialog.CloseButton();
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), c.result);
    }
}

TEST_F(NoteDialog, EnterAndEscapeDoNotEndIt) {
    CNoteDlg dialog("Note", "Apply?", true);
    Show(dialog);
    dialog.setResult(-1);
    QWidget* targets[] = {&dialog, dialog.OkButton(), dialog.CancelButton()};
    for (QWidget* target : targets) {
        for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
            QTest::keyClick(target, key);
            EXPECT_TRUE(dialog.isVisible()) << key;
            EXPECT_EQ(dialog.result(), -1) << key;
        }
    }
}

TEST_F(NoteDialog, ExecReturnsTheAnswerOfItsButton) {
    CNoteDlg dialog("Note", "Are you sure you want to apply configuration?", true);
    bool open_after_escape = false;
    QTimer::singleShot(0, &dialog, [&] {
        QTest::keyClick(&dialog, Qt::Key_Escape);
        open_after_escape = dialog.isVisible();
        QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton, {}, QPoint(5, 5));
    });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_TRUE(open_after_escape);

    CNoteDlg second("Note", "Done.", false);
    QTimer::singleShot(0, &second,
                       [&] { QTest::mouseClick(second.OkButton(), Qt::LeftButton, {}, QPoint(5, 5)); });
    EXPECT_EQ(second.exec(), QDialog::Accepted);
}

// Counts how often a widget is shown.
class ShowCounter : public QObject {
public:
    int shown = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        shown += event->type() == QEvent::Show;
        return false;
    }
};

TEST_F(NoteDialog, PresetAnswerReturnsOnceWithoutShowing) {
    for (int answer : {int(QDialog::Accepted), int(QDialog::Rejected)}) {
        SCOPED_TRACE(answer);
        CNoteDlg::SetNextAnswer(answer);
        CNoteDlg dialog("Note", "Apply?", true);
        ShowCounter counter;
        dialog.installEventFilter(&counter);
        EXPECT_EQ(dialog.exec(), answer);
        EXPECT_EQ(dialog.result(), answer);
        EXPECT_EQ(counter.shown, 0);
    }
    // The preset is used up: the next dialog is shown and answered by its button.
    CNoteDlg dialog("Note", "Apply?", true);
    QTimer::singleShot(0, &dialog,
                       [&] { QTest::mouseClick(dialog.OkButton(), Qt::LeftButton, {}, QPoint(5, 5)); });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
}

TEST_F(NoteDialog, DragsByItsBackgroundAndTitle) {
    CNoteDlg dialog("Note", "Moving.", false);
    dialog.move(100, 100);
    Show(dialog);
    for (const QPoint& grab : {QPoint(200, 120), QPoint(20, 15)}) {
        SCOPED_TRACE(grab.x());
        const QPoint start = dialog.pos();
        QTest::mousePress(&dialog, Qt::LeftButton, {}, grab);
        QTest::mouseMove(&dialog, grab + QPoint(40, 25));
        QTest::mouseRelease(&dialog, Qt::LeftButton, {}, grab + QPoint(40, 25));
        EXPECT_EQ(dialog.pos() - start, QPoint(40, 25));
    }
}

}  // namespace
}  // namespace provix
