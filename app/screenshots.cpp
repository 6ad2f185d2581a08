// Takes the screenshots of the documentation: the movement window's four pages, pitch entry and the subject
// search, on the catalogue Velk.db in the working directory. Run it under Xvfb (scripts/screenshots).
#include "movement/frmMovement.h"
#include "search/frmFindBySubject.h"
#include "ui/Fonts.h"
#include "ui/MessageBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QTabBar>
#include <QTest>

#include <cstdio>

namespace
{

void save(QWidget* widget, const QString& folder, const char* name)
{
    QTest::qWait(300);
    const QString path = folder + QLatin1Char('/') + QString::fromLatin1(name);
    widget->grab().save(path);
    std::printf("%s\n", qPrintable(path));
}

void clickTab(velk::movement::frmMovement& window, int index)
{
    auto* tabs = window.findChild<QTabBar*>(QStringLiteral("tsMovement"));
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velk"));
    velk::ui::installFontSubstitutions();
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    velk::ui::setMessageBoxHook([](const velk::ui::BoxMessage&) { return false; });

    velk::movement::frmMovement window;
    if (!window.load()) {
        std::fprintf(stderr, "no catalogue\n");
        return 1;
    }
    window.resize(1180, 780);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        return 1;
    }
    window.controller().ToolbarClick(velk::movement::Next);
    window.controller().ToolbarClick(velk::movement::Next);
    save(&window, folder, "movement.png");

    clickTab(window, 3);
    save(&window, folder, "subjects.png");

    clickTab(window, 1);
    save(&window, folder, "pitches.png");
    window.controller().ToolbarClick(velk::movement::New);
    for (const char* spelling : {"g", "a", "b/"}) {
        window.controller().PitchKeyPress(13, spelling);
    }
    QTest::keyClicks(window.findChild<QLineEdit*>(QStringLiteral("txtPitch")), QStringLiteral("c*"));
    save(&window, folder, "pitch-entry.png");
    window.controller().pitches().UndoPitchEdit();
    window.controller().RefreshCommandState();

    clickTab(window, 2);
    save(&window, folder, "tabulations.png");

    velk::ui::setMessageBoxHook([](const velk::ui::BoxMessage&) { return false; });
    velk::search::frmFindBySubject search(&window);
    search.setConnectionString(window.controller().connectionString());
    search.load();
    search.show();
    if (!QTest::qWaitForWindowExposed(&search)) {
        return 1;
    }
    search.findChild<QComboBox*>(QStringLiteral("cboSearch"))->setEditText(QStringLiteral("o"));
    search.findChild<QCheckBox*>(QStringLiteral("chkUseWildcard"))->setChecked(true);
    search.search();
    save(&search, folder, "search.png");
    return 0;
}
