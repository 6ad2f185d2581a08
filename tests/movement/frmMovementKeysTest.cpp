#include "tests/movement/WindowFixture.h"

using namespace velk::test;

/// The movement window's keys, access keys, focus, titles and layout, driven offscreen.
class frmMovementKeysTest : public QObject, protected velk::test::WindowFixture
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

    void aCommandKeyRunsOnceWhateverHasTheFocus_data()
    {
        QTest::addColumn<int>("setup");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("messages");
        QTest::addColumn<int>("movements");
        QTest::addColumn<int>("pitches");

        const QString deleteQuestion = q("Are you sure you want to delete this movement?");
        const QString undoQuestion = q("Are you sure you want to undo your changes?");
        QTest::newRow("grid, Ctrl+D, Yes")
            << int(Browsing) << q("dbgMovements") << int(Qt::Key_D) << true << deleteQuestion << 1 << 2 << 6;
        QTest::newRow("tab bar, Ctrl+D, Yes")
            << int(Browsing) << q("tsMovement") << int(Qt::Key_D) << true << deleteQuestion << 1 << 2 << 6;
        QTest::newRow("text box, Ctrl+U, No")
            << int(Editing) << q("txtKTN") << int(Qt::Key_U) << false << undoQuestion << 1 << 3 << 9;
        QTest::newRow("text box, Ctrl+D disabled")
            << int(Editing) << q("txtMvmt") << int(Qt::Key_D) << true << QString() << 0 << 3 << 9;
        QTest::newRow("text box, Ctrl+N disabled")
            << int(Editing) << q("txtOrder") << int(Qt::Key_N) << true << QString() << 0 << 3 << 9;
        QTest::newRow("check box, Ctrl+U, No")
            << int(Editing) << q("chkAlto") << int(Qt::Key_U) << false << undoQuestion << 1 << 3 << 9;
        QTest::newRow("rich-text box, Ctrl+U, No")
            << int(Editing) << q("txtDescription") << int(Qt::Key_U) << false << undoQuestion << 1 << 3 << 9;
        QTest::newRow("pitch grid, Ctrl+D")
            << int(PitchPage) << q("fgPitches") << int(Qt::Key_D) << true << QString() << 0 << 3 << 8;
        QTest::newRow("pitch grid, Ctrl+U disabled")
            << int(PitchPage) << q("fgPitches") << int(Qt::Key_U) << true << QString() << 0 << 3 << 9;
        QTest::newRow("pitch entry box, Ctrl+U, No")
            << int(PitchEntry) << q("txtPitch") << int(Qt::Key_U) << false << undoQuestion << 1 << 3 << 9;
        QTest::newRow("pitch entry box, Ctrl+D disabled")
            << int(PitchEntry) << q("txtPitch") << int(Qt::Key_D) << true << QString() << 0 << 3 << 9;
    }

    void aCommandKeyRunsOnceWhateverHasTheFocus()
    {
        QFETCH(int, setup);
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(bool, yes);
        QFETCH(QString, message);
        QFETCH(int, messages);
        QFETCH(int, movements);
        QFETCH(int, pitches);
        add(1, 1, "");
        add(2, 1, "");
        add(3, 1, "");
        QVERIFY(open());
        QVERIFY(prepare(static_cast<Setup>(setup)));
        QWidget* control = child<QWidget>(focus.toLatin1().constData());
        this->focus(focus.toLatin1().constData());
        auto* box = qobject_cast<QLineEdit*>(control);
        if (box) {
            QTest::keyClicks(box, q("12"));
            box->setCursorPosition(1);
        }
        const QString before = box ? box->text() : QString();
        KeyPressCounter reached;
        control->installEventFilter(&reached);
        m_answers = {yes};

        press(static_cast<Qt::Key>(key), Qt::ControlModifier);

        QCOMPARE(int(m_messages.size()), messages);
        if (messages > 0) {
            QCOMPARE(QString::fromStdString(m_messages[0].text), message);
        }
        QCOMPARE(reached.presses, 0);
        if (box) {
            QCOMPARE(box->text(), before);
        }
        QCOMPARE(count("tblMovement"), std::int64_t(movements));
        QCOMPARE(count("tblMovementPitchJoin"), std::int64_t(pitches));
        control->removeEventFilter(&reached);
    }

    void aFailedSaveByCtrlSIsToldOnceAndFocusesTheFieldAtFault()
    {
        add(1, 1, "");
        QVERIFY(open());
        click("edit");
        auto* box = child<QLineEdit>("txtMm");
        focus("txtMm");
        QTest::keyClicks(box, q("x"));
        focus("txtKTN");
        press(Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(int(m_messages.size()), 1);
        QVERIFY(QString::fromStdString(m_messages[0].text).startsWith(q("Error Saving:  Mm.")));
        // The box takes the focus as soon as the window is active again.
        QCOMPARE(m_window->focusWidget(), box);
        QVERIFY(m_window->controller().records().bMovementEditMode());
    }

    // Part of the window's tab handling: whatever changes the selected tab prepares its page, once.
    void keysThatChangeTheTabPrepareThePage_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("newEnabled");

        QTest::newRow("Alt+P from the grid")
            << q("dbgMovements") << int(Qt::Key_P) << int(Qt::AltModifier) << q("fraMovementPitches") << q("T");
        QTest::newRow("Alt+T from the grid")
            << q("dbgMovements") << int(Qt::Key_T) << int(Qt::AltModifier) << q("fraMovementTabs") << q("F");
        QTest::newRow("Alt+S from the grid")
            << q("dbgMovements") << int(Qt::Key_S) << int(Qt::AltModifier) << q("fraMovementSubjects") << q("F");
        QTest::newRow("Right on the tab bar")
            << q("tsMovement") << int(Qt::Key_Right) << int(Qt::NoModifier) << q("fraMovementPitches") << q("T");
    }

    void keysThatChangeTheTabPrepareThePage()
    {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, page);
        QFETCH(QString, newEnabled);
        add(1, 1, "");
        QVERIFY(open());
        this->focus(focus.toLatin1().constData());
        press(static_cast<Qt::Key>(key), static_cast<Qt::KeyboardModifiers>(modifiers));
        QCOMPARE(shownPage()->objectName(), page);
        QCOMPARE(child<QAction>("new")->isEnabled(), newEnabled == q("T"));
        if (page == q("fraMovementPitches")) {
            QCOMPARE(child<velk::ui::FlexGrid>("fgPitches")->rows(), 3);
        } else if (page == q("fraMovementTabs")) {
            QCOMPARE(child<QLabel>("lblTotalPitchCount")->text(), q("3"));
        }
        // And back with the access key of the first tab.
        press(Qt::Key_M, Qt::AltModifier);
        QCOMPARE(shownPage()->objectName(), q("fraMovementData"));
        QVERIFY(child<QAction>("new")->isEnabled());
    }

    void aTabChosenByKeyAsksItsQuestionOnce()
    {
        QVERIFY(open());
        focus("tsMovement");
        press(Qt::Key_P, Qt::AltModifier);
        QCOMPARE(int(m_messages.size()), 1);
        QCOMPARE(QString::fromStdString(m_messages[0].text),
                 q("Please select a movement from the grid on the movement tab."));
        QCOMPARE(shownPage()->objectName(), q("fraMovementPitches"));
    }

    // Showing pages moves no record, also while there is no current row.
    void changingPagesKeepsTheRecord_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("caption");

        QTest::newRow("past the end, subjects and back, prev")
            << QStringList {q("last"), q("next")} << 3 << q("prev") << q("Velk Movements - KTN:  3 - MVMT:  1");
        QTest::newRow("before the start, pitches and back, next")
            << QStringList {q("first"), q("prev")} << 1 << q("next") << q("Velk Movements - KTN:  1 - MVMT:  1");
        QTest::newRow("on a row, tabulations and back, next")
            << QStringList {q("next")} << 2 << q("next") << q("Velk Movements - KTN:  3 - MVMT:  1");
    }

    void changingPagesKeepsTheRecord()
    {
        QFETCH(QStringList, before);
        QFETCH(int, tab);
        QFETCH(QString, after);
        QFETCH(QString, caption);
        add(1, 1, "");
        add(2, 1, "");
        add(3, 1, "");
        QVERIFY(open());
        clickGridRow(child<velk::movement::DataGrid>("dbgMovements"), 0);
        QTRY_COMPARE(QApplication::focusWidget(), child<QWidget>("dbgMovements"));
        for (const QString& key : before) {
            click(key.toLatin1().constData());
        }
        const auto position = m_window->controller().records().recordset()->position();
        const QString shown = m_window->windowTitle();
        clickTab(tab);
        clickTab(0);
        QCOMPARE(m_window->controller().records().recordset()->position(), position);
        QCOMPARE(m_window->windowTitle(), shown);
        click(after.toLatin1().constData());
        QCOMPARE(m_window->windowTitle(), caption);
    }

    void titlesAreTheWindowsOwnTexts()
    {
        // The platform appends an application display name to every title; none is set.
        velk::ui::setupApplication();
        const QString name = QApplication::applicationName();
        QApplication::setApplicationName(q("probe"));
        QCOMPARE(QApplication::applicationDisplayName(), q("probe"));
        QApplication::setApplicationName(name);

        add(1, 1, "");
        QVERIFY(open());
        QCOMPARE(m_window->windowTitle(), q("Velk Movements - KTN:  1 - MVMT:  1"));
        // New has no tool tip of its own; Find has one.
        for (const auto& [key, tip] : {std::pair {"new", false}, std::pair {"find", true}}) {
            QWidget* button = child<QToolBar>("tbrMovement")->widgetForAction(child<QAction>(key));
            QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), button->mapToGlobal(QPoint(5, 5)));
            QApplication::sendEvent(button, &help);
            QCOMPARE(QToolTip::isVisible(), tip);
            QToolTip::hideText();
            QTRY_VERIFY(!QToolTip::isVisible());
        }
    }

    // Alt with a toolbar caption's access key clicks the button, only while it is enabled. A button clicked so
    // shows pressed for a moment first; after a key that must do nothing, a second key that does something
    // marks the moment by which the first would have acted.
    void accessKeysClickTheToolbar_data()
    {
        QTest::addColumn<int>("setup");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("then");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<bool>("editing");
        QTest::addColumn<int>("finds");

        const QString deleteQuestion = q("Are you sure you want to delete this movement?");
        const QString undoQuestion = q("Are you sure you want to undo your changes?");
        QTest::newRow("Alt+E edits") << int(Browsing) << int(Qt::Key_E) << 0 << QStringList() << true << 0;
        QTest::newRow("Alt+N adds") << int(Browsing) << int(Qt::Key_N) << 0 << QStringList() << true << 0;
        QTest::newRow("Alt+D asks to delete")
            << int(Browsing) << int(Qt::Key_D) << 0 << QStringList {deleteQuestion} << false << 0;
        QTest::newRow("Alt+F finds") << int(Browsing) << int(Qt::Key_F) << 0 << QStringList() << false << 1;
        QTest::newRow("Alt+U asks to undo")
            << int(Editing) << int(Qt::Key_U) << 0 << QStringList {undoQuestion} << true << 0;
        QTest::newRow("Alt+U while undo is disabled")
            << int(Browsing) << int(Qt::Key_U) << int(Qt::Key_F) << QStringList() << false << 1;
        QTest::newRow("Alt+D while delete is disabled")
            << int(Editing) << int(Qt::Key_D) << int(Qt::Key_U) << QStringList {undoQuestion} << true << 0;
        QTest::newRow("Alt+F while find is disabled")
            << int(Editing) << int(Qt::Key_F) << int(Qt::Key_U) << QStringList {undoQuestion} << true << 0;
    }

    void accessKeysClickTheToolbar()
    {
        QFETCH(int, setup);
        QFETCH(int, key);
        QFETCH(int, then);
        QFETCH(QStringList, messages);
        QFETCH(bool, editing);
        QFETCH(int, finds);
        add(1, 1, "");
        add(2, 1, "");
        QVERIFY(open());
        QVERIFY(prepare(static_cast<Setup>(setup)));
        focus(setup == Editing ? "txtKTN" : "dbgMovements");
        int found = 0;
        velk::movement::frmMovement::findHook = [&found](const std::string&) {
            ++found;
        };
        const auto asked = [this] {
            QStringList texts;
            for (const auto& message : m_messages) {
                texts << QString::fromStdString(message.text);
            }
            return texts;
        };
        press(static_cast<Qt::Key>(key), Qt::AltModifier);
        if (then != 0) {
            press(static_cast<Qt::Key>(then), Qt::AltModifier);
        }
        QTRY_COMPARE(asked(), messages);
        QTRY_COMPARE(found, finds);
        QTRY_COMPARE(m_window->controller().records().bMovementEditMode(), editing);
        if (key == Qt::Key_N) {
            QCOMPARE(m_window->controller().records().recordset()->recordCount(), 3L);
        }
    }

    // A user types the new movement's KTN straight after Alt+N, before any animation of the button could end.
    void keysTypedStraightAfterAnAccessKeyReachTheFieldItOpens_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("typed");
        QTest::newRow("Alt+N") << int(Qt::Key_N) << q("99");
        QTest::newRow("Alt+E") << int(Qt::Key_E) << q("5");
    }

    void keysTypedStraightAfterAnAccessKeyReachTheFieldItOpens()
    {
        QFETCH(int, key);
        QFETCH(QString, typed);
        add(1, 1, "");
        QVERIFY(open());
        focus("dbgMovements");
        press(static_cast<Qt::Key>(key), Qt::AltModifier);
        // No waiting: the keys follow at once, as they do from a typist.
        QTest::keyClicks(QApplication::focusWidget(), typed);
        QCOMPARE(QApplication::focusWidget(), child<QWidget>("txtKTN"));
        QVERIFY2(child<QLineEdit>("txtKTN")->text().contains(typed), qPrintable(child<QLineEdit>("txtKTN")->text()));
    }

    void toolbarCaptionsShowTheirAccessKeys()
    {
        add(1, 1, "");
        QVERIFY(open());
        const std::pair<const char*, const char*> shown[]
            = {{"new", "&New"},       {"save", "Save"},  {"edit", "&Edit"}, {"undo", "&Undo"},
               {"delete", "&Delete"}, {"find", "&Find"}, {"first", "First"}};
        for (const auto& [key, text] : shown) {
            auto* button
                = qobject_cast<QToolButton*>(child<QToolBar>("tbrMovement")->widgetForAction(child<QAction>(key)));
            QCOMPARE(button->text(), q(text));
        }
        // Alt+S stays with the Subjects tab.
        focus("dbgMovements");
        press(Qt::Key_S, Qt::AltModifier);
        QCOMPARE(shownPage()->objectName(), q("fraMovementSubjects"));
        QVERIFY(!m_window->controller().records().bMovementEditMode());
    }

    void textShowsWhileThereIsRoom()
    {
        const auto first = add(1, 1, "");
        add(2, 1, "");
        const std::string composed = "TC 1723 / FP 25 Dec 1723 at the court chapel, with the full band";
        db().execute("update tblMovement set txtComposed = ? where iMovementID = ?", {composed, first});
        QVERIFY(open());
        m_window->resize(1600, 800);
        auto* box = child<QLineEdit>("txtComposed");
        QCOMPARE(box->text(), QString::fromStdString(composed));
        QCOMPARE(box->cursorPosition(), 0);
        // Passing through the box with the keyboard leaves it showing the start again.
        click("edit");
        focus("txtComposed");
        box->end(false);
        focus("txtMm");
        QCOMPARE(box->cursorPosition(), 0);
        click("save");

        auto* grid = child<velk::movement::DataGrid>("dbgMovements");
        QTRY_VERIFY(grid->viewport()->width() > 1200);
        const int composedColumn = 3;
        QTRY_VERIFY(grid->columnWidth(composedColumn)
                    > grid->fontMetrics().horizontalAdvance(QString::fromStdString(composed)));
        QVERIFY(grid->horizontalHeader()->length() <= grid->viewport()->width());
        // A width the user dragged stays when the grid lays its columns out again.
        grid->horizontalHeader()->resizeSection(composedColumn, 90);
        m_window->resize(1500, 800);
        QTRY_VERIFY(grid->viewport()->width() < 1500);
        QCOMPARE(grid->columnWidth(composedColumn), 90);
        // A narrow grid keeps at least the classic widths, and scrolls.
        m_window->resize(m_window->minimumSizeHint().width(), 800);
        QTRY_VERIFY(grid->viewport()->width() < 1000);
        for (int column = 0; column < grid->model()->columnCount(); ++column) {
            if (column != composedColumn) {
                QVERIFY(grid->columnWidth(column) >= velk::movement::MovementGridModel::widthTwips(column) * 96 / 1440);
            }
        }
    }

    void tabulationGridsShowAllTheirColumnsBesideTheScrollBar()
    {
        const auto id = add(1, 1, "");
        db().execute("insert into tblMovementPitchJoin (iMovementID, iPitchID) select ?, iPitchID from tblPitchLookup "
                     "where iPitchID <= 40",
                     {id});
        QVERIFY(open());
        clickTab(2);
        for (const char* name : {"fgTabsClass", "fgTabsReal"}) {
            auto* grid = child<velk::ui::FlexGrid>(name);
            QTRY_VERIFY(grid->isVisible());
            QVERIFY2(grid->horizontalHeader()->length() <= grid->viewport()->width(), name);
            QVERIFY2(!grid->horizontalScrollBar()->isVisible(), name);
            QVERIFY2(grid->columnWidth(2) >= grid->horizontalHeader()->sectionSizeHint(2), name);
        }
        QVERIFY(child<velk::ui::FlexGrid>("fgTabsReal")->verticalScrollBar()->maximum() > 0);
    }

    void noPageChangesDuringAnEdit()
    {
        add(1, 1, "");
        QVERIFY(open());
        click("edit");
        focus("txtKTN");
        press(Qt::Key_P, Qt::AltModifier);
        press(Qt::Key_T, Qt::AltModifier);
        QCOMPARE(shownPage()->objectName(), q("fraMovementData"));
        QCOMPARE(child<QTabBar>("tsMovement")->currentIndex(), 0);
        QVERIFY(m_window->controller().records().bMovementEditMode());
        // Nor do the keys of disabled tabs and buttons type their letters into the box.
        press(Qt::Key_E, Qt::AltModifier);
        press(Qt::Key_D, Qt::AltModifier);
        QCOMPARE(child<QLineEdit>("txtKTN")->text(), q("1"));
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    velk::ui::setupApplication();
    frmMovementKeysTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "frmMovementKeysTest.moc"
