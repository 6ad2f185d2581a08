#include "tools/OffscreenApplication.h"

#include "ui/Fonts.h"

#include <QApplication>

#include <cstdlib>
#include <memory>

namespace velk::tools
{

void ensureOffscreenApplication()
{
    if (QCoreApplication::instance() != nullptr) {
        return;
    }
    // A command on a terminal or in a script has no display; drawing needs none.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "velk-catalogue";
    static char* argv[] = {name, nullptr};
    static std::unique_ptr<QApplication> application = std::make_unique<QApplication>(argc, argv);
    ui::installFontSubstitutions();
}

} // namespace velk::tools
