// velk-icon-svg FILE: writes the program's icon as an SVG document to FILE, so that the icon installed for the
// desktop menu is the very picture the windows show.

#include "ui/ToolbarPictures.h"

#include <QSaveFile>
#include <QString>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: velk-icon-svg FILE\n");
        return 2;
    }
    // QSaveFile replaces FILE only when the whole document is written, so a failed run leaves no torn icon.
    QSaveFile file(QString::fromLocal8Bit(argv[1]));
    const QByteArray svg = velk::ui::applicationIconSvg().toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(svg) != svg.size() || !file.commit()) {
        std::fprintf(stderr, "velk-icon-svg: cannot write %s: %s\n", argv[1], qPrintable(file.errorString()));
        return 1;
    }
    return 0;
}
