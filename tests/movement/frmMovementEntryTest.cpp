#include "tests/movement/WindowFixture.h"

#include <QClipboard>
#include <QPushButton>

using namespace velk::test;

/// Entering a line a phrase at a time in the movement window: runs typed and pasted, Insert by its key, its
/// access key and its button, and Backspace, driven offscreen through the control that has the focus.
class frmMovementEntryTest : public QObject, protected velk::test::WindowFixture
{
    Q_OBJECT

private:
    std::int64_t m_movement = 0; // the movement shown

    // The movement's stored sequence as spellings separated by blanks.
    QString stored(std::int64_t movement)
    {
        auto rs = db().query("select p.txtPitch from tblMovementPitchJoin j join tblPitchLookup p using (iPitchID) "
                             "where j.iMovementID = ? order by j.iMovementPitchID",
                             {movement});
        QStringList spellings;
        for (const auto& row : rs.rows()) {
            spellings << QString::fromStdString(row[0].toText());
        }
        return spellings.join(QLatin1Char(' '));
    }

    // A key held down, as an X server sends it: a press, then each repeat as a release and a press at one instant
    // (marked as repeats by the toolkit, or not when it missed the pair), then the release.
    void hold(Qt::Key key, int repeats, bool marked)
    {
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus != nullptr);
        const auto send = [&](QEvent::Type type, bool repeat, ulong time) {
            QKeyEvent event(type, key, Qt::NoModifier, QString(), repeat);
            event.setTimestamp(time);
            QApplication::sendEvent(focus, &event);
        };
        ulong time = 100000;
        send(QEvent::KeyPress, false, time);
        time += 600;
        for (int i = 0; i < repeats; ++i) {
            send(QEvent::KeyRelease, marked, time);
            send(QEvent::KeyPress, marked, time);
            time += 40;
        }
        send(QEvent::KeyRelease, false, time);
    }

    velk::ui::FlexGrid* pitchGrid()
    {
        return child<velk::ui::FlexGrid>("fgPitches");
    }

    QLineEdit* entryBox()
    {
        return child<QLineEdit>("txtPitch");
    }

    // One movement (c e g*), the window open on its pitches page; false (the test failed) when it did not get there.
    [[nodiscard]] bool openOnPitches()
    {
        m_movement = add(1, 1, "");
        return open() && prepare(PitchPage);
    }

    // The pitches page with the entry box open for appending, the focus in it.
    [[nodiscard]] bool appending()
    {
        click("new");
        return QApplication::focusWidget() == entryBox();
    }

private slots:
    void init()
    {
        setUp();
    }

    void cleanup()
    {
        tearDown();
    }

    void aTypedRunIsAppendedAndStoredByCtrlS()
    {
        QVERIFY(openOnPitches());
        QVERIFY(appending());
        QTest::keyClicks(QApplication::focusWidget(), q("c d e f"));
        press(Qt::Key_Return);
        QCOMPARE(pitchGrid()->rows(), 7);
        QCOMPARE(pitchGrid()->textMatrix(6, 0), q("7"));
        QCOMPARE(pitchGrid()->row(), 6);
        QCOMPARE(entryBox()->text(), QString());
        QCOMPARE(stored(m_movement), q("c e g*"));
        press(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(stored(m_movement), q("c e g* c d e f"));
        QVERIFY(m_messages.empty());
    }

    void aRunWithAnUnknownSpellingNamesItAndStaysInTheBox()
    {
        QVERIFY(openOnPitches());
        QVERIFY(appending());
        QTest::keyClicks(QApplication::focusWidget(), q("c h e"));
        press(Qt::Key_Return);
        QCOMPARE(int(m_messages.size()), 1);
        QCOMPARE(QString::fromStdString(m_messages[0].text),
                 q("Entry not found !\n“h” is not a pitch spelling, so nothing was entered."));
        QCOMPARE(pitchGrid()->rows(), 3);
        QCOMPARE(entryBox()->text(), q("c h e"));
        // The box keeps the focus in its window, which the platform makes active again once the message is gone.
        QCOMPARE(m_window->focusWidget(), entryBox());
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QTRY_COMPARE(QApplication::focusWidget(), entryBox());
        // Corrected where it stands.
        press(Qt::Key_Backspace);
        press(Qt::Key_Backspace);
        press(Qt::Key_Backspace);
        QTest::keyClicks(QApplication::focusWidget(), q("a e"));
        press(Qt::Key_Return);
        QCOMPARE(pitchGrid()->rows(), 6);
        press(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(stored(m_movement), q("c e g* c a e"));
    }

    void aPastedRunOfSeveralLinesIsAppended()
    {
        QVERIFY(openOnPitches());
        QVERIFY(appending());
        QApplication::clipboard()->setText(q("d e\nf*\tg"));
        press(Qt::Key_V, Qt::ControlModifier);
        QVERIFY(!entryBox()->text().isEmpty());
        press(Qt::Key_Return);
        QVERIFY2(m_messages.empty(), m_messages.empty() ? "" : m_messages[0].text.c_str());
        QCOMPARE(pitchGrid()->rows(), 7);
        press(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(stored(m_movement), q("c e g* d e f* g"));
    }

    // Longer than a line edit holds by default (32,767 characters): cut there, its last spelling would be "c", not
    // "c*".
    void aPastedLongLineIsEnteredWhole()
    {
        QVERIFY(openOnPitches());
        QVERIFY(appending());
        constexpr int kPitches = 11000;
        QApplication::clipboard()->setText(q("c* ").repeated(kPitches));
        press(Qt::Key_V, Qt::ControlModifier);
        press(Qt::Key_Return);
        QVERIFY(m_messages.empty());
        QCOMPARE(pitchGrid()->rows(), 3 + kPitches);
        press(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(count("tblMovementPitchJoin"), std::int64_t(3 + kPitches));
        QCOMPARE(stored(m_movement).split(QLatin1Char(' ')).last(), q("c*"));
    }

    void backspacePressedTakesBackAppendedPitchesAndHeldTakesNone()
    {
        QVERIFY(openOnPitches());
        QVERIFY(appending());
        QTest::keyClicks(QApplication::focusWidget(), q("g a b"));
        press(Qt::Key_Return);
        QCOMPARE(pitchGrid()->rows(), 6);

        // Held down to clear a typed spelling: the repeats clear the box and take no pitch, whether the toolkit
        // marks them as repeats or not.
        for (const bool marked : {true, false}) {
            QTest::keyClicks(QApplication::focusWidget(), q("c*"));
            hold(Qt::Key_Backspace, 5, marked);
            QCOMPARE(entryBox()->text(), QString());
            QCOMPARE(pitchGrid()->rows(), 6);
        }

        press(Qt::Key_Backspace);
        QCOMPARE(pitchGrid()->rows(), 5);
        QCOMPARE(pitchGrid()->row(), 4);
        QCOMPARE(entryBox()->text(), QString());
        press(Qt::Key_Backspace);
        press(Qt::Key_Backspace);
        QCOMPARE(pitchGrid()->rows(), 3);
        // The stored pitches stay, and nothing was written.
        press(Qt::Key_Backspace);
        QCOMPARE(pitchGrid()->rows(), 3);
        QCOMPARE(stored(m_movement), q("c e g*"));
        QCOMPARE(count("tblMovementPitchJoin"), std::int64_t(3));
        QVERIFY(m_window->controller().pitches().bPitchEditMode());
    }

    void insertPutsTheTypedPitchesBeforeTheSelectedOne_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Insert key") << q("key");
        QTest::newRow("Alt+I") << q("access key");
        QTest::newRow("a click on Insert") << q("click");
    }

    void insertPutsTheTypedPitchesBeforeTheSelectedOne()
    {
        QFETCH(QString, how);
        QVERIFY(openOnPitches());
        auto* insert = child<QPushButton>("cmdInsertPitch");
        QVERIFY(!insert->isEnabled());
        // Closed, it looks closed, unlike the fields of the page, which keep their ink.
        QVERIFY(insert->palette().color(QPalette::Disabled, QPalette::ButtonText)
                != insert->palette().color(QPalette::Active, QPalette::ButtonText));
        focus("fgPitches");
        press(Qt::Key_Down);
        QCOMPARE(pitchGrid()->row(), 1);
        QVERIFY(appending());
        QVERIFY(insert->isEnabled());
        QTest::keyClicks(QApplication::focusWidget(), q("a b/"));
        if (how == q("key")) {
            press(Qt::Key_Insert);
        } else if (how == q("access key")) {
            press(Qt::Key_I, Qt::AltModifier);
        } else {
            QTest::mouseClick(insert, Qt::LeftButton);
        }
        QCOMPARE(stored(m_movement), q("c a b/ e g*"));
        QVERIFY(m_messages.empty());
        QVERIFY(!entryBox()->isEnabled());
        QVERIFY(!insert->isEnabled());
        // The pitch they went before is still the selected one.
        QCOMPARE(pitchGrid()->row(), 3);
        QCOMPARE(pitchGrid()->textMatrix(3, 0), q("4"));
    }

    void insertKeysWithTheBoxClosedDoNothing()
    {
        QVERIFY(openOnPitches());
        focus("fgPitches");
        KeyPressCounter reached;
        pitchGrid()->installEventFilter(&reached);
        press(Qt::Key_Insert);
        press(Qt::Key_I, Qt::AltModifier);
        pitchGrid()->removeEventFilter(&reached);
        QCOMPARE(reached.presses, 0);
        QCOMPARE(stored(m_movement), q("c e g*"));
        QVERIFY(m_messages.empty());
    }

    void shiftInsertStillPastesIntoTheBox()
    {
        QVERIFY(openOnPitches());
        QVERIFY(appending());
        QApplication::clipboard()->setText(q("b/"));
        press(Qt::Key_Insert, Qt::ShiftModifier);
        QCOMPARE(entryBox()->text(), q("b/"));
        QCOMPARE(stored(m_movement), q("c e g*"));
        QVERIFY(entryBox()->isEnabled());
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    velk::ui::setupApplication();
    frmMovementEntryTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "frmMovementEntryTest.moc"
