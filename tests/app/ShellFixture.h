#pragma once

#include "devices/CNoteDlg.h"
#include "ui/AppSettings.h"

#include <QApplication>
#include <QTimer>

#include <gtest/gtest.h>

namespace provix {

// The skin drawn by the build and the default settings, for screens built as the program builds them.
class ShellTest : public testing::Test {
protected:
    void SetUp() override {
        LoadSettings(PROVIX_STAGE_DIR "/");
        LoadSkinPaths(PROVIX_STAGE_DIR "/");
    }
    void TearDown() override {
        CNoteDlg::ClearNextAnswer();
        QApplication::processEvents();
    }
};

// Answers the note dialog that the next call opens, and keeps what it said.
struct NoteCatcher {
    bool seen = false;
    bool with_cancel = false;
    QString title;
    QString note;

    void Arm(int answer) {
        QTimer::singleShot(0, [this, answer] {
            auto* dialog = qobject_cast<CNoteDlg*>(QApplication::activeModalWidget());
            if (dialog == nullptr)
                return;
            seen = true;
            with_cancel = dialog->show_cancel;
            title = dialog->title;
            note = dialog->note;
            dialog->done(answer);
        });
    }
};

}  // namespace provix
