#include "tests/movement/WindowFixture.h"

#include <QClipboard>
#include <QPushButton>

using namespace velk::test;

/// Plaine & Easie Code in the movement window: an incipit pasted into the pitch entry box, and the line copied.
class frmMovementPaeTest : public QObject, protected velk::test::WindowFixture
{
    Q_OBJECT

    QString storedSpellings(std::int64_t movementId)
    {
        return QString::fromStdString(
            db().query("select group_concat(txtPitch, ' ') from (select p.txtPitch from tblMovementPitchJoin j "
                       "join tblPitchLookup p on p.iPitchID = j.iPitchID where j.iMovementID = ? "
                       "order by j.iMovementPitchID)",
                       {movementId})
                .field(0)
                .toText());
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

    void aPastedIncipitIsEnteredAndStored_data()
    {
        QTest::addColumn<QString>("code");
        QTest::newRow("one line") << q("%G-2$bB@3/2 '4BnB/B");
        QTest::newRow("Version 2 line") << q(";pe2%G-2$bB@3/2 '4BnB/B");
        QTest::newRow("field lines") << q("@clef:G-2\n@keysig:bB\n@data:'4BnB/B\n");
        QTest::newRow("JSON") << q("{\n  \"clef\": \"G-2\",\n  \"keysig\": \"bB\",\n  \"data\": \"'4BnB/B\"\n}");
    }

    void aPastedIncipitIsEnteredAndStored()
    {
        QFETCH(QString, code);
        const auto id = add(1, 1, "");
        QVERIFY(open());
        QVERIFY(prepare(PitchEntry));
        focus("txtPitch");
        QGuiApplication::clipboard()->setText(code);
        press(Qt::Key_V, Qt::ControlModifier);
        QVERIFY(!child<QLineEdit>("txtPitch")->text().isEmpty());
        press(Qt::Key_Return);
        QVERIFY2(m_messages.empty(), m_messages.empty() ? "" : m_messages[0].text.c_str());
        QCOMPARE(int(m_window->controller().pitches().pitchRows().size()), 6);
        QCOMPARE(child<QLineEdit>("txtPitch")->text(), QString());
        press(Qt::Key_S, Qt::ControlModifier);
        QTRY_COMPARE(storedSpellings(id), q("c e g* B/ B B/"));
    }

    void aFaultyIncipitIsToldAndStaysInTheBox()
    {
        const auto id = add(1, 1, "");
        QVERIFY(open());
        QVERIFY(prepare(PitchEntry));
        focus("txtPitch");
        QTest::keyClicks(QApplication::focusWidget(), q("%G-2 '2A^C"));
        press(Qt::Key_Return);
        QCOMPARE(int(m_messages.size()), 1);
        QVERIFY(m_messages[0].text.find("a chord, '2A^C,") != std::string::npos);
        QCOMPARE(child<QLineEdit>("txtPitch")->text(), q("%G-2 '2A^C"));
        QCOMPARE(int(m_window->controller().pitches().pitchRows().size()), 3);
        QCOMPARE(storedSpellings(id), q("c e g*"));
    }

    void copyAsPaePutsTheLineOnTheClipboard_data()
    {
        QTest::addColumn<int>("setup");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<bool>("button");
        QTest::newRow("pitch grid, Ctrl+Shift+C") << int(PitchPage) << q("fgPitches") << false;
        QTest::newRow("entry box, Ctrl+Shift+C") << int(PitchEntry) << q("txtPitch") << false;
        QTest::newRow("tab bar, Ctrl+Shift+C") << int(PitchPage) << q("tsMovement") << false;
        QTest::newRow("pitch grid, the button") << int(PitchPage) << q("fgPitches") << true;
    }

    void copyAsPaePutsTheLineOnTheClipboard()
    {
        QFETCH(int, setup);
        QFETCH(QString, focus);
        QFETCH(bool, button);
        add(1, 1, "");
        QVERIFY(open());
        QVERIFY(prepare(static_cast<Setup>(setup)));
        this->focus(focus.toLatin1().constData());
        QGuiApplication::clipboard()->clear();
        if (button) {
            QTest::mouseClick(child<QPushButton>("cmdCopyPae"), Qt::LeftButton);
        } else {
            press(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        }
        QTRY_COMPARE(QGuiApplication::clipboard()->text(), q("%G-2 ''4CExG"));
        QCOMPARE(int(m_messages.size()), 0);
        QCOMPARE(QApplication::focusWidget(), child<QWidget>(focus.toLatin1().constData()));
    }

    void copyAsPaeIsThePitchesPagesOwn()
    {
        add(1, 1, "");
        QVERIFY(open());
        focus("dbgMovements");
        QGuiApplication::clipboard()->setText(q("kept"));
        press(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), q("kept"));
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    velk::ui::setupApplication();
    frmMovementPaeTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "frmMovementPaeTest.moc"
