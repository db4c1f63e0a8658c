#pragma once

#include <QImage>
#include <QString>

namespace provix {

// A contact sheet of every image of the skin table as read back from folder, each labelled with its
// file name and size, small pictures also enlarged; the GIF shows all its frames.
QImage RenderContactSheet(const QString& folder);

}  // namespace provix
