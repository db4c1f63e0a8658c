// skingen: draws the default skin of Provix into a folder, and optionally a contact sheet of it.

#include "SkinPreview.h"
#include "SkinWriter.h"

#include <QGuiApplication>
#include <QImage>
#include <QStringList>

#include <cstdio>

int main(int argc, char** argv) {
    // Text needs a font database, which needs a platform; none of it needs a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();

    QString folder;
    QString preview;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--preview" && i + 1 < args.size()) {
            preview = args[++i];
        } else if (folder.isEmpty() && !args[i].startsWith("--")) {
            folder = args[i];
        } else {
            folder.clear();
            break;
        }
    }
    if (folder.isEmpty()) {
        std::fprintf(stderr, "usage: skingen <skin folder> [--preview <sheet.png>]\n");
        return 2;
    }

    QString error;
    if (!provix::WriteSkin(folder, &error)) {
        std::fprintf(stderr, "skingen: %s\n", qPrintable(error));
        return 1;
    }
    if (!preview.isEmpty() && !provix::RenderContactSheet(folder).save(preview, "PNG")) {
        std::fprintf(stderr, "skingen: cannot write %s\n", qPrintable(preview));
        return 1;
    }
    return 0;
}
