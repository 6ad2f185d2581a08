#include "sound/Player.h"
#include "tests/movement/WindowFixture.h"

#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>

#include <cstdlib>
#include <filesystem>

using namespace velk::test;

namespace
{

constexpr const char* kTimGM6mb = "/usr/share/sounds/sf2/TimGM6mb.sf2";

// A sound card no machine has.
const velk::sound::AudioDriver kNoDevice {"alsa", "ALSA", {{"audio.alsa.device", "hw:velk-no-such-card"}}};

} // namespace

/// Play and Stop on the pitches page, by their keys sent to whatever has the focus, with FluidSynth writing to a
/// file in real time where a sound card would take the samples.
class PitchesPlaybackTest : public QObject, protected velk::test::WindowFixture
{
    Q_OBJECT

private slots:
    void init()
    {
        if (!std::filesystem::exists(kTimGM6mb)) {
            QSKIP("TimGM6mb is not installed (package timgm6mb-soundfont)");
        }
        setenv("VELK_SOUNDFONT", kTimGM6mb, 1);
        setUp();
        velk::sound::setAudioDrivers({fileDriver()});
    }

    void cleanup()
    {
        tearDown();
        unsetenv("VELK_SOUNDFONT");
    }

    void playFollowsTheLineInTheGridAndComesBackWhereItStarted()
    {
        const auto id = add(1, 1, "");
        QVERIFY(open());
        QVERIFY(prepare(PitchPage));
        focus("fgPitches");
        auto* grid = child<velk::ui::FlexGrid>("fgPitches");
        setTempo(240);
        focus("fgPitches");
        press(Qt::Key_Down);
        QTRY_COMPARE(grid->row(), 1);
        std::vector<int> rows;
        connect(grid, &velk::ui::FlexGrid::selChange, this, [&] { rows.push_back(grid->row()); });

        press(Qt::Key_F5);

        QCOMPARE(status(), q("Playing positions 2 to 3 at 240 beats a minute."));
        QVERIFY(child<QPushButton>("cmdStop")->isEnabled());
        QTRY_COMPARE(status(), q("Played to the end."));
        QVERIFY(!child<QPushButton>("cmdStop")->isEnabled());
        // The third row as it sounded (the second was current already), then the second again.
        QVERIFY(rows == (std::vector<int> {2, 1}));
        QCOMPARE(grid->row(), 1);
        QCOMPARE(QApplication::focusWidget(), grid);
        // The entry box shows the selected glyph, as after any move in the grid, and nothing was written.
        QCOMPARE(child<QLineEdit>("txtPitch")->text(), grid->textMatrix(1, 1));
        QCOMPARE(count("tblMovementPitchJoin"), std::int64_t(3));
        QVERIFY(id > 0);
    }

    void stopByItsKeyKeepsThePositionReached()
    {
        openPitchesAt(30);
        if (QTest::currentTestFailed()) {
            return;
        }
        press(Qt::Key_F5);
        QCOMPARE(status(), q("Playing positions 1 to 3 at 30 beats a minute."));
        press(Qt::Key_F5, Qt::ShiftModifier);
        QCOMPARE(status(), q("Stopped at position 1."));
        QTRY_VERIFY(!child<QPushButton>("cmdStop")->isEnabled());
        QCOMPARE(child<velk::ui::FlexGrid>("fgPitches")->row(), 0);

        press(Qt::Key_F5);
        press(Qt::Key_Escape);
        QCOMPARE(status(), q("Stopped at position 1."));
    }

    void aCommandOrAnotherPageStopsThePlaying_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("editing");
        QTest::addColumn<QString>("page");

        QTest::newRow("Ctrl+N starts an entry")
            << int(Qt::Key_N) << int(Qt::ControlModifier) << true << q("fraMovementPitches");
        QTest::newRow("Alt+M shows the movement")
            << int(Qt::Key_M) << int(Qt::AltModifier) << false << q("fraMovementData");
        QTest::newRow("Alt+T tabulates") << int(Qt::Key_T) << int(Qt::AltModifier) << false << q("fraMovementTabs");
    }

    void aCommandOrAnotherPageStopsThePlaying()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, editing);
        QFETCH(QString, page);
        openPitchesAt(30);
        if (QTest::currentTestFailed()) {
            return;
        }
        press(Qt::Key_F5);
        QVERIFY(m_window->controller().pitches().pitchRow() == std::size_t {0});

        press(static_cast<Qt::Key>(key), static_cast<Qt::KeyboardModifiers>(modifiers));

        QCOMPARE(shownPage()->objectName(), page);
        QCOMPARE(m_window->controller().pitches().bPitchEditMode(), editing);
        QVERIFY(!m_window->controller().PlaybackTick());
        QVERIFY(m_messages.empty());
        if (editing) {
            // The entry goes on undisturbed: a typed pitch is appended.
            QTest::keyClicks(QApplication::focusWidget(), q("d"));
            press(Qt::Key_Return);
            QCOMPARE(m_window->controller().pitches().pitchRows().size(), std::size_t {4});
        }
    }

    void playDuringAnEntrySaysWhyAndKeepsTheText()
    {
        add(1, 1, "");
        QVERIFY(open());
        QVERIFY(prepare(PitchEntry));
        QTest::keyClicks(QApplication::focusWidget(), q("f*"));
        press(Qt::Key_F5);
        QVERIFY(status().startsWith(q("The pitches are being entered")));
        QCOMPARE(child<QLineEdit>("txtPitch")->text(), q("f*"));
        QVERIFY(!child<QPushButton>("cmdStop")->isEnabled());
    }

    // Down or Up typed after an entry would otherwise change the tempo, not the selected pitch.
    void aClosedEntryBoxNeverHandsTheFocusToTheTempo()
    {
        add(1, 1, "");
        QVERIFY(open());
        QVERIFY(prepare(PitchEntry));
        QTest::keyClicks(QApplication::focusWidget(), q("f*"));
        m_answers = {true};
        press(Qt::Key_U, Qt::ControlModifier);
        QVERIFY(!m_window->controller().pitches().bPitchEditMode());
        // The window gives the focus back to this control once it is active again.
        QCOMPARE(m_window->focusWidget(), child<QWidget>("fgPitches"));
    }

    void noSoundDeviceIsSaidAndTheWindowGoesOn()
    {
        velk::sound::setAudioDrivers({kNoDevice});
        add(1, 1, "");
        QVERIFY(open());
        QVERIFY(prepare(PitchPage));
        focus("fgPitches");
        press(Qt::Key_F5);
        QVERIFY2(status().startsWith(q("No sound device could be opened")), qPrintable(status()));
        QVERIFY(!child<QPushButton>("cmdStop")->isEnabled());
        QVERIFY(m_messages.empty());
        press(Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(count("tblMovementPitchJoin"), std::int64_t(2));
    }

    void noSoundFontIsSaid()
    {
        setenv("VELK_SOUNDFONT", "/nonexistent/Missing.sf2", 1);
        add(1, 1, "");
        QVERIFY(open());
        QVERIFY(prepare(PitchPage));
        QTest::mouseClick(child<QPushButton>("cmdPlay"), Qt::LeftButton);
        QVERIFY2(status().startsWith(q("No General MIDI SoundFont was found (looked for /nonexistent/Missing.sf2)")),
                 qPrintable(status()));
    }

    void theKeysBelongToThePitchesPageOnly()
    {
        add(1, 1, "");
        QVERIFY(open());
        focus("dbgMovements");
        press(Qt::Key_F5);
        QCOMPARE(status(), QString());
        QVERIFY(!m_window->controller().PlaybackTick());
    }

private:
    // The pitches page of a movement of three pitches, with the tempo typed and the focus in the grid.
    void openPitchesAt(int tempo)
    {
        add(1, 1, "");
        QVERIFY(open());
        QVERIFY(prepare(PitchPage));
        setTempo(tempo);
        focus("fgPitches");
    }

    velk::sound::AudioDriver fileDriver() const
    {
        return {"file", "a file", {{"audio.file.name", (m_catalogue->folder() / "heard.wav").string()}}};
    }

    QString status()
    {
        return child<QStatusBar>("sbrMovement")->currentMessage();
    }

    // Types the tempo into its box, as a user does.
    void setTempo(int tempo)
    {
        focus("txtTempo");
        auto* box = child<QSpinBox>("txtTempo");
        press(Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), QString::number(tempo));
        press(Qt::Key_Tab);
        QCOMPARE(box->value(), tempo);
    }
};

QTEST_MAIN(PitchesPlaybackTest)
#include "PitchesPlaybackTest.moc"
