// Runs the skin generator the way the build does and checks that every picture the screens load is
// there, decodes, and has the size the screens lay it out at.

#include "ui/AppSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

namespace {

struct Expected {
    const char* file;
    const char* format;
    int width;
    int height;
};

// Names the screens load, with the size of the control or area that shows each picture.
const Expected kSkin[] = {
    {"main_bk.png", "png", 817, 540},
    {"main_bk.jpg", "jpeg", 817, 540},
    {"main_bk3.jpg", "jpeg", 817, 540},
    {"wait_search.gif", "gif", 32, 32},
    {"olvar_logo.bmp", "bmp", 220, 48},
    {"scan_btn_normal.png", "png", 218, 24},
    {"scan_btn_over.png", "png", 218, 24},
    {"scan_btn_down.png", "png", 218, 24},
    {"scan_btn_disable.png", "png", 218, 24},
    {"combox_down.png", "png", 16, 16},
    {"protection_btn_normal.png", "png", 142, 24},
    {"protection_btn_over.png", "png", 142, 24},
    {"protection_btn_down.png", "png", 142, 24},
    {"protection_btn_disable.png", "png", 142, 24},
    {"change_btn_normal.png", "png", 48, 18},
    {"select.bmp", "bmp", 24, 24},
    {"unselect.bmp", "bmp", 24, 24},
    {"part_select.bmp", "bmp", 24, 24},
    {"success.bmp", "bmp", 24, 24},
    {"error.bmp", "bmp", 24, 24},
    {"operating.bmp", "bmp", 24, 24},
    {"apply_btn_normal.png", "png", 67, 27},
    {"apply_btn_over.png", "png", 67, 27},
    {"apply_btn_down.png", "png", 67, 27},
    {"apply_btn_disable.png", "png", 67, 27},
    {"cancel_btn_normal.png", "png", 71, 27},
    {"cancel_btn_over.png", "png", 71, 27},
    {"cancel_btn_down.png", "png", 71, 27},
    {"choose_btn_normal.png", "png", 99, 28},
    {"btn_ini_file.png", "png", 209, 28},
    {"btn_pic_file.png", "png", 209, 28},
    {"btn_switch_on.png", "png", 28, 16},
    {"btn_switch_off.png", "png", 28, 16},
    {"btn_template.png", "png", 124, 24},
    {"btn_close_normal.png", "png", 16, 16},
    {"btn_close_normal2.png", "png", 16, 16},
    {"btn_close_over.png", "png", 16, 16},
    {"btn_close_down.png", "png", 16, 16},
    {"btn_child_close.png", "png", 16, 16},
    {"btn_child_close2.png", "png", 16, 16},
    {"btn_min_normal.png", "png", 16, 16},
    {"btn_min_over.png", "png", 16, 16},
    {"btn_min_down.png", "png", 16, 16},
    {"help_normal.bmp", "bmp", 16, 16},
};

struct RunResult {
    int exit_code = -1;
    std::string error_output;
};

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "skingen_test";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) {
        new QCoreApplication(argc, argv);
    }
}

RunResult RunSkingen(const QStringList& args) {
    EnsureApplication();
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(env);
    process.start(SKINGEN_EXE, args);
    RunResult result;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        result.error_output = "skingen did not finish";
        return result;
    }
    result.exit_code = process.exitCode();
    result.error_output = process.readAllStandardError().toStdString();
    return result;
}

class SkinGen : public testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = std::make_unique<QTemporaryDir>();
        // A folder that does not exist yet: the build writes into a fresh stage folder.
        skin = dir->filePath("stage/Skin");
        preview = dir->filePath("sheet.png");
        run = RunSkingen({skin, "--preview", preview});
    }
    static void TearDownTestSuite() { dir.reset(); }

    void SetUp() override { ASSERT_EQ(run.exit_code, 0) << run.error_output; }

    static QImage Load(const char* file) { return QImage(QDir(skin).filePath(file)); }

    static inline std::unique_ptr<QTemporaryDir> dir;
    static inline QString skin;
    static inline QString preview;
    static inline RunResult run;
};

TEST_F(SkinGen, EveryPictureExistsDecodesInItsFormatAndHasItsLayoutSize) {
    for (const Expected& e : kSkin) {
        SCOPED_TRACE(e.file);
        const QString path = QDir(skin).filePath(e.file);
        ASSERT_TRUE(QFileInfo::exists(path));
        QImageReader reader(path);
        // The content decides the decoder, not the extension, as in the screens' loader.
        reader.setDecideFormatFromContent(true);
        EXPECT_EQ(reader.format().toStdString(), e.format);
        EXPECT_EQ(reader.size(), QSize(e.width, e.height));
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
        EXPECT_EQ(image.size(), QSize(e.width, e.height));
    }
}

TEST_F(SkinGen, WritesNothingBesideThePicturesTheScreensLoad) {
    std::set<std::string> expected;
    for (const Expected& e : kSkin) {
        expected.insert(e.file);
    }
    std::set<std::string> written;
    for (const QString& name : QDir(skin).entryList(QDir::Files)) {
        written.insert(name.toStdString());
    }
    EXPECT_EQ(written, expected);
}

// The program forms its skin paths from its own list; each of them must be drawn.
TEST_F(SkinGen, CoversEveryPictureTheProgramLoads) {
    ASSERT_FALSE(provix::SkinImageFiles().empty());
    for (const provix::SkinImageFile& f : provix::SkinImageFiles()) {
        SCOPED_TRACE(f.file);
        EXPECT_FALSE(QImage(QDir(skin).filePath(f.file)).isNull());
    }
}

TEST_F(SkinGen, WaitingAnimationLoopsThroughDistinctFrames) {
    QImageReader reader(QDir(skin).filePath("wait_search.gif"));
    ASSERT_TRUE(reader.supportsAnimation());
    EXPECT_GT(reader.imageCount(), 1);
    std::vector<QImage> frames;
    for (QImage frame = reader.read(); !frame.isNull(); frame = reader.read()) {
        frames.push_back(frame.convertToFormat(QImage::Format_RGB32));
        EXPECT_GT(reader.nextImageDelay(), 0);
    }
    ASSERT_GT(frames.size(), 1u);
    EXPECT_EQ(static_cast<int>(frames.size()), reader.imageCount());
    EXPECT_EQ(reader.loopCount(), -1) << "the spinner must repeat until the scan ends";
    for (std::size_t i = 1; i < frames.size(); ++i) {
        EXPECT_NE(frames[i], frames[i - 1]) << "frame " << i << " does not move";
    }
}

// The grid shows its bitmaps through a white mask: the corners must be pure white (see-through)
// and the middle must not, or the glyph gets a hole.
TEST_F(SkinGen, GridPicturesAreMaskedOnWhiteWithoutHoles) {
    const QRgb mask = qRgb(255, 255, 255);
    for (const char* file :
         {"select.bmp", "unselect.bmp", "part_select.bmp", "success.bmp", "error.bmp", "operating.bmp"}) {
        SCOPED_TRACE(file);
        const QImage image = Load(file).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(image.size(), QSize(24, 24));
        for (const QPoint corner : {QPoint(0, 0), QPoint(23, 0), QPoint(0, 23), QPoint(23, 23)}) {
            EXPECT_EQ(image.pixel(corner), mask) << corner.x() << "," << corner.y();
        }
        EXPECT_NE(image.pixel(12, 12), mask);
        EXPECT_NE(image.pixel(8, 12), mask);
    }
}

// A state picture equal to the normal one would give the operator no feedback.
TEST_F(SkinGen, ButtonStatesLookDifferent) {
    const std::vector<std::vector<const char*>> sets = {
        {"scan_btn_normal.png", "scan_btn_over.png", "scan_btn_down.png", "scan_btn_disable.png"},
        {"protection_btn_normal.png", "protection_btn_over.png", "protection_btn_down.png",
         "protection_btn_disable.png"},
        {"apply_btn_normal.png", "apply_btn_over.png", "apply_btn_down.png", "apply_btn_disable.png"},
        {"cancel_btn_normal.png", "cancel_btn_over.png", "cancel_btn_down.png"},
        {"btn_close_normal.png", "btn_close_normal2.png", "btn_close_over.png", "btn_close_down.png"},
        {"btn_min_normal.png", "btn_min_over.png", "btn_min_down.png"},
        {"btn_switch_on.png", "btn_switch_off.png"},
        {"select.bmp", "unselect.bmp", "part_select.bmp"},
        {"success.bmp", "error.bmp", "operating.bmp"},
    };
    for (const auto& set : sets) {
        for (std::size_t i = 0; i < set.size(); ++i) {
            for (std::size_t j = i + 1; j < set.size(); ++j) {
                EXPECT_NE(Load(set[i]), Load(set[j])) << set[i] << " and " << set[j];
            }
        }
    }
}

TEST_F(SkinGen, ContactSheetIsWritten) {
    QImageReader reader(preview);
    EXPECT_EQ(reader.format().toStdString(), "png");
    const QImage sheet = reader.read();
    ASSERT_FALSE(sheet.isNull());
    // Everything is on it: at least the three window backgrounds side by side at half size.
    EXPECT_GE(sheet.width(), 3 * 817 / 2);
}

TEST(SkinGenFailures, ReportsWhatItCannotDo) {
    QTemporaryDir dir;
    const QString blocker = dir.filePath("not-a-folder");
    {
        QFile file(blocker);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const struct {
        const char* name;
        QStringList args;
        int exit_code;
        const char* message;
    } cases[] = {
        {"no folder", {}, 2, "usage: skingen"},
        {"unknown option", {dir.filePath("a"), "--bogus"}, 2, "usage: skingen"},
        {"folder is a file", {blocker}, 1, "cannot create the folder"},
        {"folder below a file", {blocker + "/Skin"}, 1, "cannot create the folder"},
        {"preview unwritable", {dir.filePath("b"), "--preview", blocker + "/sheet.png"}, 1, "cannot write"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RunResult result = RunSkingen(c.args);
        EXPECT_EQ(result.exit_code, c.exit_code);
        EXPECT_THAT(result.error_output, testing::HasSubstr(c.message));
    }
}

}  // namespace
