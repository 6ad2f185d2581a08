// Takes the screenshots of the documentation: the movement window's four pages, pitch entry and the subject
// search, on the catalogue Velk.db in the working directory. Run it under Xvfb (scripts/screenshots).
#include "movement/frmMovement.h"
#include "search/frmFindBySubject.h"
#include "store/MovementRecordset.h"
#include "ui/FlexGrid.h"
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

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

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

// Shows the first movement whose voice parts are exactly the ones given; false when there is none.
bool showMovementOfVoices(velk::movement::frmMovement& window, const std::vector<const char*>& voices)
{
    auto& records = window.controller().records();
    const long count = records.recordset()->recordCount();
    for (long row = 0; row < count; ++row) {
        window.controller().GridRowChosen(static_cast<std::size_t>(row));
        bool matches = true;
        for (const char* voice : {"chkSoprano", "chkAlto", "chkTenor", "chkBass"}) {
            const bool wanted
                = std::find_if(voices.begin(), voices.end(), [voice](const char* v) { return std::string(v) == voice; })
                != voices.end();
            matches = matches && records.BoundCheck(voice) == wanted;
        }
        if (matches) {
            return true;
        }
    }
    return false;
}

// Selects a position of the pitch grid as a click on it does; the staff follows.
void selectPitch(velk::movement::frmMovement& window, int row)
{
    auto* grid = window.findChild<velk::ui::FlexGrid*>(QStringLiteral("fgPitches"));
    grid->setCurrentCell(row, 1);
    if (!grid->rowIsVisible(row)) {
        grid->setTopRow(std::max(0, row - 8));
    }
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

    // The staff: a soprano line, a bass line, a long line scrolled, double sharps and flats.
    clickTab(window, 0);
    if (showMovementOfVoices(window, {"chkSoprano"})) {
        clickTab(window, 1);
        selectPitch(window, 6);
        save(&window, folder, "staff-soprano.png");
    }
    clickTab(window, 0);
    if (showMovementOfVoices(window, {"chkBass"})) {
        clickTab(window, 1);
        selectPitch(window, 4);
        save(&window, folder, "staff-bass.png");
    }
    clickTab(window, 0);
    window.controller().GridRowChosen(0);
    clickTab(window, 1);
    selectPitch(window, 119);
    save(&window, folder, "staff-long.png");
    window.controller().ToolbarClick(velk::movement::New);
    for (const char* spelling : {"c**", "B//", "f*", "e/", "F**", "a//", "g"}) {
        window.controller().PitchKeyPress(13, spelling);
    }
    selectPitch(window, static_cast<int>(window.controller().pitches().pitchRows().size()) - 6);
    save(&window, folder, "staff-doubles.png");
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
