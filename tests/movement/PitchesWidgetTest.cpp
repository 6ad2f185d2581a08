#include "pitches/StaffView.h"
#include "tests/movement/WindowFixture.h"

#include <QComboBox>
#include <QSpinBox>

using namespace velk::test;
using velk::pitches::StaffView;

/// The staff and the octave setting of the pitches page, driven offscreen through the real window.
class PitchesWidgetTest : public QObject, protected velk::test::WindowFixture
{
    Q_OBJECT

private slots:
    void init()
    {
        setUp();
    }

    void cleanup()
    {
        tearDown();
    }

    void theStaffAndTheGridSelectTheSamePosition()
    {
        addLine(1, 60);
        QVERIFY(open());
        clickTab(1);
        auto* grid = child<velk::ui::FlexGrid>("fgPitches");
        auto* staff = child<StaffView>("staffView");
        QCOMPARE(staff->drawing().noteCount(), std::size_t(60));
        QCOMPARE(staff->current(), std::optional<std::size_t>(0));
        QCOMPARE(staff->horizontalScrollBar()->value(), 0); // the clef shows
        QCOMPARE(QApplication::focusWidget(), grid);

        press(Qt::Key_Down);
        press(Qt::Key_Down);
        QCOMPARE(grid->row(), 2);
        QCOMPARE(staff->current(), std::optional<std::size_t>(2));
        press(Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(grid->row(), 59);
        QCOMPARE(staff->current(), std::optional<std::size_t>(59));
        QVERIFY2(inView(staff, 59), "the last note is scrolled into view");

        // A click on a note selects its row; the keys stay with the grid.
        const std::size_t clicked = 55;
        QVERIFY(inView(staff, clicked));
        clickNote(staff, clicked);
        QCOMPARE(grid->row(), int(clicked));
        QCOMPARE(m_window->controller().pitches().pitchRow(), std::optional<std::size_t>(clicked));
        QCOMPARE(staff->current(), std::optional<std::size_t>(clicked));
        QCOMPARE(QApplication::focusWidget(), grid);
        press(Qt::Key_Up);
        QCOMPARE(staff->current(), std::optional<std::size_t>(clicked - 1));

        // Back to the start: the staff scrolls with the grid.
        press(Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(staff->current(), std::optional<std::size_t>(0));
        QVERIFY(inView(staff, 0));
        QCOMPARE(staff->horizontalScrollBar()->value(), 0);
        QVERIFY(!inView(staff, 59));
    }

    void aRecordMoveLeavesTheKeysWithTheGrid()
    {
        addLine(1, 6);
        addLine(2, 6);
        addLine(3, 6);
        QVERIFY(open());
        clickTab(1);
        auto* grid = child<velk::ui::FlexGrid>("fgPitches");
        QCOMPARE(QApplication::focusWidget(), grid);
        auto* octave = child<QComboBox>("cboCapitalOctave");
        const int octaveChoice = octave->currentIndex();
        const auto tempo = child<QSpinBox>("txtTempo")->value();
        // Each toolbar move refills the grid; the arrow keys that follow move within the line, never the tempo or
        // the octave setting (which would be stored).
        for (const char* move : {"next", "next", "prev", "last", "first"}) {
            click(move);
            QCOMPARE(QApplication::focusWidget(), grid);
            press(Qt::Key_Down);
            QCOMPARE(grid->row(), 1);
        }
        QCOMPARE(child<QSpinBox>("txtTempo")->value(), tempo);
        QCOMPARE(octave->currentIndex(), octaveChoice);
        QVERIFY(storedOctave(1).isNull());
    }

    void aStoredEntryLeavesTheKeysWithTheGrid()
    {
        addLine(1, 3);
        QVERIFY(open());
        clickTab(1);
        auto* grid = child<velk::ui::FlexGrid>("fgPitches");
        auto* octave = child<QComboBox>("cboCapitalOctave");
        click("new");
        type("f*");
        press(Qt::Key_S, Qt::ControlModifier);
        QVERIFY(!m_window->controller().pitches().bPitchEditMode());
        QCOMPARE(QApplication::focusWidget(), grid);
        press(Qt::Key_Up);
        QCOMPARE(grid->row(), 2);
        QCOMPARE(octave->currentIndex(), 0);
        QVERIFY(storedOctave(1).isNull());
    }

    void appendedReplacedAndDeletedPitchesShowAtOnce()
    {
        addLine(1, 3);
        QVERIFY(open());
        clickTab(1);
        auto* staff = child<StaffView>("staffView");
        auto* grid = child<velk::ui::FlexGrid>("fgPitches");
        click("new");
        type("f*");
        QCOMPARE(spellings(staff), (std::vector<std::string> {"c", "e", "g*", "f*"}));
        QCOMPARE(staff->current(), std::optional<std::size_t>(3));
        type("B//");
        QCOMPARE(spellings(staff).back(), std::string("B//"));
        QCOMPARE(staff->current(), std::optional<std::size_t>(4));
        click("save");

        clickNote(staff, 1);
        QCOMPARE(grid->row(), 1);
        click("edit");
        type("a/");
        QCOMPARE(spellings(staff), (std::vector<std::string> {"c", "a/", "g*", "f*", "B//"}));
        QCOMPARE(staff->current(), std::optional<std::size_t>(1));

        clickNote(staff, 0);
        click("delete");
        QCOMPARE(spellings(staff), (std::vector<std::string> {"a/", "g*", "f*", "B//"}));
        QCOMPARE(staff->current(), std::optional<std::size_t>(grid->row()));
    }

    void theOctaveSettingIsStoredFromTheKeyboard()
    {
        const auto id = addLine(1, 3);
        db().execute("update tblMovement set chkBass = 1 where iMovementID = ?", {id});
        QVERIFY(open());
        clickTab(1);
        auto* box = child<QComboBox>("cboCapitalOctave");
        auto* staff = child<StaffView>("staffView");
        QVERIFY(box->isEnabled());
        QCOMPARE(box->currentText(), q("From the voices (2)"));
        QCOMPARE(staff->drawing().line().clef, velk::pitches::Clef::Bass);

        // Alt+O, the label's access key, takes the keys to the setting.
        press(Qt::Key_O, Qt::AltModifier);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(box));
        press(Qt::Key_Down);
        press(Qt::Key_Down);
        press(Qt::Key_Down);
        QCOMPARE(box->currentText(), q("4"));
        QCOMPARE(storedOctave(id), velk::store::Value(std::int64_t {4}));
        QCOMPARE(staff->drawing().line().clef, velk::pitches::Clef::Treble);
        QVERIFY(m_messages.empty());

        // Entered again, the page shows what was stored; Home goes back to the voices' default.
        clickTab(0);
        clickTab(1);
        QCOMPARE(box->currentText(), q("4"));
        focus("cboCapitalOctave");
        press(Qt::Key_Home);
        QVERIFY(storedOctave(id).isNull());
        QCOMPARE(staff->drawing().line().clef, velk::pitches::Clef::Bass);
    }

private:
    // A movement whose line is the given number of pitches going up and down the two octaves.
    std::int64_t addLine(int ktn, int length)
    {
        const auto id = add(ktn, 1, "");
        auto c = db();
        c.execute("delete from tblMovementPitchJoin where iMovementID = ?", {id});
        const char* walk[] = {"c", "e", "g*", "C", "D/", "b", "a//", "F**"};
        for (int i = 0; i < length; ++i) {
            c.execute("insert into tblMovementPitchJoin (iMovementID, iPitchID) "
                      "select ?, iPitchID from tblPitchLookup where txtPitch = ?",
                      {id, std::string(walk[i % 8])});
        }
        return id;
    }

    velk::store::Value storedOctave(std::int64_t id)
    {
        return db().query("select iCapitalOctave from tblMovement where iMovementID = ?", {id}).field(0);
    }

    static bool inView(StaffView* staff, std::size_t index)
    {
        const double x = staff->noteX(index);
        return x > 0 && x < staff->viewport()->width();
    }

    static void clickNote(StaffView* staff, std::size_t index)
    {
        const QPoint at(static_cast<int>(staff->noteX(index)), staff->viewport()->height() / 2);
        QTest::mouseClick(staff->viewport(), Qt::LeftButton, {}, at);
    }

    static std::vector<std::string> spellings(StaffView* staff)
    {
        std::vector<std::string> result;
        for (const auto& note : staff->drawing().line().notes) {
            result.push_back(note.spelling);
        }
        return result;
    }

    void type(const char* spelling)
    {
        QWidget* box = QApplication::focusWidget();
        QCOMPARE(box->objectName(), q("txtPitch"));
        QTest::keyClicks(box, q(spelling));
        QTest::keyClick(box, Qt::Key_Return);
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    velk::ui::setupApplication();
    PitchesWidgetTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "PitchesWidgetTest.moc"
