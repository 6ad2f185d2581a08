#include "movement/frmMovement.h"
#include "store/Connection.h"
#include "tests/support/TempCatalogue.h"
#include "ui/Application.h"
#include "ui/DataGrid.h"
#include "ui/FlexGrid.h"
#include "ui/Fonts.h"
#include "ui/MovementGridModel.h"
#include "ui/RichTextBox.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>

#include <memory>
#include <vector>

using velk::movement::Message;

namespace
{

QString q(const char* text)
{
    return QString::fromUtf8(text);
}

// Counts the key presses that reach a control (its own filter runs after the application's).
class KeyPressCounter : public QObject
{
public:
    int presses = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        // The modifier keys themselves reach the control, as they do on every platform.
        const auto isModifier = [](int key) {
            return key == Qt::Key_Control || key == Qt::Key_Shift || key == Qt::Key_Alt || key == Qt::Key_Meta;
        };
        if (event->type() == QEvent::KeyPress && !isModifier(static_cast<QKeyEvent*>(event)->key())) {
            ++presses;
        }
        return false;
    }
};

// What the window starts from before a key is pressed.
enum Setup
{
    Browsing,
    Editing,
    PitchPage,
    PitchEntry
};

} // namespace

/// Drives the real movement window offscreen over a temporary catalogue.
class frmMovementTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<velk::test::TempCatalogue> m_catalogue;
    std::unique_ptr<frmMovement> m_window;
    std::vector<Message> m_messages;
    std::vector<bool> m_answers;

    velk::store::Connection db()
    {
        return velk::store::Connection::open(m_catalogue->connectionString(), velk::store::AccessMode::ReadWrite);
    }

    std::int64_t add(int ktn, int mvmt, const std::string& description)
    {
        auto c = db();
        c.execute("insert into tblMovement (iKTN, iMvmt, iOrder, Sub1, Description) values (?, ?, 1, 'Joy', ?)",
                  {ktn, mvmt, description});
        const auto id = c.lastInsertId();
        c.execute("insert into tblMovementPitchJoin (iMovementID, iPitchID) select ?, iPitchID from tblPitchLookup "
                  "where txtPitch in ('c', 'e', 'g*')",
                  {id});
        return id;
    }

    void open()
    {
        m_window = std::make_unique<frmMovement>(m_catalogue->connectionString());
        QVERIFY(m_window->load().ok);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }

    // A key as the platform delivers it: to the control that has the focus.
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus != nullptr);
        QTest::keyClick(focus, key, modifiers);
    }

    void focus(const char* name)
    {
        auto* widget = child<QWidget>(name);
        widget->setFocus(Qt::OtherFocusReason);
        QTRY_COMPARE(QApplication::focusWidget(), widget);
    }

    std::int64_t count(const char* table)
    {
        return db().query(std::string("select count(*) from ") + table).field(0).toInt64();
    }

    QWidget* shownPage()
    {
        return qobject_cast<QStackedWidget*>(child<QWidget>("fraMovementData")->parentWidget())->currentWidget();
    }

    void prepare(Setup setup)
    {
        switch (setup) {
        case Browsing:
            break;
        case Editing:
            click("edit");
            QVERIFY(m_window->controller().bMovementEditMode());
            break;
        case PitchPage:
            clickTab(1);
            QCOMPARE(shownPage()->objectName(), q("fraMovementPitches"));
            break;
        case PitchEntry:
            clickTab(1);
            click("new");
            QVERIFY(m_window->controller().bPitchEditMode());
            break;
        }
    }

    template <typename T>
    T* child(const char* name)
    {
        auto* widget = m_window->findChild<T*>(q(name));
        if (!widget) {
            qFatal("no child %s", name);
        }
        return widget;
    }

    void click(const char* key)
    {
        auto* action = child<QAction>(key);
        QWidget* button = child<QToolBar>("tbrMovement")->widgetForAction(action);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    void clickTab(int index)
    {
        auto* tabs = child<QTabBar>("tsMovement");
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
    }

    void clickGridRow(velk::ui::DataGrid* grid, int row)
    {
        const QRect rect = grid->visualRect(grid->model()->index(row, 0));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, rect.center());
    }

private slots:
    void init()
    {
        m_catalogue = std::make_unique<velk::test::TempCatalogue>();
        m_messages.clear();
        m_answers.clear();
        frmMovement::messageHook = [this](const Message& message, bool) {
            m_messages.push_back(message);
            // A message box is a modal window of its own: the movement window loses the focus while it is
            // open and gets it back only after it has closed.
            QDialog box(m_window.get());
            QTimer::singleShot(0, &box, &QDialog::accept);
            box.exec();
            if (m_answers.empty()) {
                return false;
            }
            const bool yes = m_answers.front();
            m_answers.erase(m_answers.begin());
            return yes;
        };
    }

    void cleanup()
    {
        m_window.reset();
        frmMovement::messageHook = nullptr;
        frmMovement::findHook = nullptr;
    }

    void startsOnTheFirstMovementWithItsCaptionAndRichText()
    {
        add(2, 1, "{\\rtf1 two}");
        add(1, 3, "{\\rtf1\\ansi Plain and {\\b bold}}");
        open();
        QCOMPARE(m_window->windowTitle(), q("Velk Movements - KTN:  1 - MVMT:  3"));
        QCOMPARE(child<QLineEdit>("txtKTN")->text(), q("1"));
        QVERIFY(!child<QLineEdit>("txtKTN")->isEnabled());
        QCOMPARE(child<velk::ui::RichTextBox>("txtDescription")->toPlainText(), q("Plain and bold"));
        QCOMPARE(child<velk::ui::DataGrid>("dbgMovements")->model()->rowCount(), 2);
        QCOMPARE(child<velk::ui::DataGrid>("dbgMovements")->currentIndex().row(), 0);
        QVERIFY(child<QAction>("new")->isEnabled());
        QVERIFY(!child<QAction>("save")->isEnabled());
    }

    void navigatesToBothEndsAndBack()
    {
        add(1, 1, "");
        add(2, 1, "");
        open();
        click("next");
        QCOMPARE(m_window->windowTitle(), q("Velk Movements - KTN:  2 - MVMT:  1"));
        QVERIFY(child<QAction>("next")->isEnabled());
        click("next");
        QVERIFY(!child<QAction>("next")->isEnabled());
        QCOMPARE(m_window->windowTitle(), q("Velk Movements - KTN:  2 - MVMT:  1"));
        click("prev");
        QCOMPARE(m_window->windowTitle(), q("Velk Movements - KTN:  2 - MVMT:  1"));
        click("first");
        QCOMPARE(m_window->windowTitle(), q("Velk Movements - KTN:  1 - MVMT:  1"));
        click("prev");
        QVERIFY(!child<QAction>("prev")->isEnabled());
        QVERIFY(!child<QAction>("edit")->isEnabled());
        clickGridRow(child<velk::ui::DataGrid>("dbgMovements"), 1);
        QCOMPARE(m_window->windowTitle(), q("Velk Movements - KTN:  2 - MVMT:  1"));
        QVERIFY(child<QAction>("edit")->isEnabled());
    }

    void aRefusedGridClickSnapsBack()
    {
        add(1, 1, "");
        add(2, 1, "");
        open();
        click("edit");
        QVERIFY(child<QLineEdit>("txtKTN")->isEnabled());
        QVERIFY(!child<QTabBar>("tsMovement")->isEnabled());
        QVERIFY(child<QLineEdit>("txtKTN")->hasFocus());
        auto* grid = child<velk::ui::DataGrid>("dbgMovements");
        clickGridRow(grid, 1);
        QCOMPARE(grid->currentIndex().row(), 0);
        QCOMPARE(m_window->windowTitle(), q("Velk Movements - KTN:  1 - MVMT:  1"));
    }

    void ctrlSSavesWhatWasJustTyped()
    {
        const auto id = add(1, 1, "{\\rtf1 kept {\\*\\unknown exotic} as is}");
        open();
        click("edit");
        auto* box = child<QLineEdit>("txtOrder");
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, q("42"));
        QTest::keyClick(box, Qt::Key_S, Qt::ControlModifier);
        QVERIFY(!box->isEnabled());
        auto rs = db().query("select iOrder, Description from tblMovement where iMovementID = ?", {id});
        QCOMPARE(rs.field("iOrder").toInt64(), std::int64_t(42));
        QCOMPARE(QString::fromStdString(rs.field("Description").toText()),
                 q("{\\rtf1 kept {\\*\\unknown exotic} as is}"));
    }

    void deleteAsksAndShowsTheNextMovement()
    {
        add(1, 1, "");
        add(2, 1, "");
        open();
        m_answers = {true};
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : m_window.get(), Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(m_messages.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(m_messages[0].title), q("Confirm Delete"));
        QCOMPARE(child<velk::ui::DataGrid>("dbgMovements")->model()->rowCount(), 1);
        QCOMPARE(m_window->windowTitle(), q("Velk Movements - KTN:  2 - MVMT:  1"));
    }

    void pitchesPageShowsTheSequenceAndTakesTypedPitches()
    {
        add(1, 1, "");
        open();
        clickTab(1);
        auto* grid = child<velk::ui::FlexGrid>("fgPitches");
        QCOMPARE(grid->rows(), 3);
        QCOMPARE(grid->textMatrix(0, 0), q("1"));
        QCOMPARE(grid->row(), 0);
        QCOMPARE(grid->col(), 1);
        QCOMPARE(child<QLabel>("lblSharpCount")->text(), q("1"));
        QCOMPARE(child<QLabel>("lblFlatCount")->text(), q("0"));
        QCOMPARE(grid->cellFont(0, 1).family(), q("Velk"));
        QVERIFY(!child<QAction>("save")->isEnabled());

        click("new");
        auto* box = child<QLineEdit>("txtPitch");
        QVERIFY(box->isEnabled());
        QVERIFY(!child<QTabBar>("tsMovement")->isEnabled());
        QVERIFY(grid->isEnabled());
        QTest::keyClicks(box, q("a/"));
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(grid->rows(), 4);
        QCOMPARE(grid->textMatrix(3, 0), q("4"));
        QCOMPARE(box->text(), QString());
        QVERIFY(child<QAction>("save")->isEnabled());
        QTest::keyClick(box, Qt::Key_S, Qt::ControlModifier);
        QVERIFY(!box->isEnabled());
        QCOMPARE(db().query("select count(*) from tblMovementPitchJoin").field(0).toInt64(), std::int64_t(4));
        QCOMPARE(child<QLabel>("lblFlatCount")->text(), q("1"));
    }

    void tabulationsPageShowsTheFigures()
    {
        add(1, 1, "");
        open();
        clickTab(2);
        QCOMPARE(child<QLabel>("lblTotalPitchCount")->text(), q("3"));
        auto* classes = child<velk::ui::FlexGrid>("fgTabsClass");
        QCOMPARE(classes->rows(), 13);
        QCOMPARE(classes->textMatrix(0, 0), q("Class"));
        QVERIFY(!child<QLabel>("lblAvgDev")->text().isEmpty());
        QVERIFY(!child<QAction>("new")->isEnabled());
        QVERIFY(child<QAction>("find")->isEnabled());
    }

    void findOpensTheSearchWindow()
    {
        add(1, 1, "");
        open();
        std::string opened;
        frmMovement::findHook = [&opened](const std::string& connection) {
            opened = connection;
        };
        click("find");
        QCOMPARE(QString::fromStdString(opened), QString::fromStdString(m_catalogue->connectionString()));
    }

    void anEmptyCatalogueOpensWithNoMovement()
    {
        open();
        QCOMPARE(m_window->windowTitle(), q("Velk - Movements"));
        QCOMPARE(child<QLineEdit>("txtKTN")->text(), QString());
        QVERIFY(child<QAction>("new")->isEnabled());
        QVERIFY(!child<QAction>("first")->isEnabled());
        clickTab(1);
        QCOMPARE(m_messages.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(m_messages[0].text),
                 q("Please select a movement from the grid on the movement tab."));
    }

    void aMissingCatalogueIsReported()
    {
        frmMovement window(velk::store::connectionStringForFile((m_catalogue->folder() / "Missing.db").string()));
        const auto outcome = window.load();
        QVERIFY(!outcome.ok);
        QVERIFY(QString::fromStdString(outcome.message).contains(q("Missing.db")));
    }

    void closingDuringAnEditAsks()
    {
        add(1, 1, "");
        open();
        click("edit");
        m_answers = {false};
        QVERIFY(m_window->close());
        QCOMPARE(m_messages.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(m_messages[0].text),
                 q("Edit in progress, do you want to save changes before exiting?"));
    }

    // Every command key runs its command exactly once, wherever the focus is, and never reaches the control:
    // a text box would take Ctrl+U as "delete the line" and Ctrl+D as "delete a character".
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
        open();
        prepare(static_cast<Setup>(setup));
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
        open();
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
        QVERIFY(m_window->controller().bMovementEditMode());
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
        open();
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
        open();
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
        open();
        clickGridRow(child<velk::ui::DataGrid>("dbgMovements"), 0);
        QTRY_COMPARE(QApplication::focusWidget(), child<QWidget>("dbgMovements"));
        for (const QString& key : before) {
            click(key.toLatin1().constData());
        }
        const auto position = m_window->controller().recordset()->position();
        const QString shown = m_window->windowTitle();
        clickTab(tab);
        clickTab(0);
        QCOMPARE(m_window->controller().recordset()->position(), position);
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
        open();
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
        open();
        prepare(static_cast<Setup>(setup));
        focus(setup == Editing ? "txtKTN" : "dbgMovements");
        int found = 0;
        frmMovement::findHook = [&found](const std::string&) {
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
        QTRY_COMPARE(m_window->controller().bMovementEditMode(), editing);
        if (key == Qt::Key_N) {
            QCOMPARE(m_window->controller().recordset()->recordCount(), 3L);
        }
    }

    void toolbarCaptionsShowTheirAccessKeys()
    {
        add(1, 1, "");
        open();
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
        QVERIFY(!m_window->controller().bMovementEditMode());
    }

    void aSavedMovementTakesItsPlaceInTheGrid_data()
    {
        QTest::addColumn<bool>("added");
        QTest::addColumn<QString>("ktn");
        QTest::addColumn<int>("row");
        QTest::newRow("new row between") << true << q("2") << 1;
        QTest::newRow("new row first") << true << q("0") << 0;
        QTest::newRow("changed KTN to the end") << false << q("9") << 1;
    }

    void aSavedMovementTakesItsPlaceInTheGrid()
    {
        QFETCH(bool, added);
        QFETCH(QString, ktn);
        QFETCH(int, row);
        add(1, 1, "");
        add(3, 1, "");
        open();
        click(added ? "new" : "edit");
        auto* box = child<QLineEdit>("txtKTN");
        focus("txtKTN");
        box->selectAll();
        QTest::keyClicks(box, ktn);
        if (added) {
            focus("txtMvmt");
            QTest::keyClicks(child<QLineEdit>("txtMvmt"), q("1"));
        }
        press(Qt::Key_S, Qt::ControlModifier);
        QVERIFY(!m_window->controller().bMovementEditMode());
        auto* grid = child<velk::ui::DataGrid>("dbgMovements");
        QCOMPARE(m_window->controller().recordset()->currentIndex(), std::optional<std::size_t>(row));
        QTRY_COMPARE(grid->currentIndex().row(), row);
        QCOMPARE(grid->model()->index(row, 0).data().toString(), ktn);
        QCOMPARE(m_window->windowTitle(), q("Velk Movements - KTN:  ") + ktn + q(" - MVMT:  1"));
        for (int r = 1; r < grid->model()->rowCount(); ++r) {
            QVERIFY(grid->model()->index(r - 1, 0).data().toInt() <= grid->model()->index(r, 0).data().toInt());
        }
        // The neighbours are those of the sorted place.
        click("prev");
        QCOMPARE(m_window->controller().recordset()->position(), row > 0 ? long(row) : -1L);
    }

    void undoOfANewRowReturnsWhereTheUserWas_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("then");
        QTest::addColumn<QString>("caption");
        QTest::newRow("past the end") << QStringList {q("last"), q("next")} << q("prev")
                                      << q("Velk Movements - KTN:  2 - MVMT:  1");
        QTest::newRow("before the start")
            << QStringList {q("prev")} << q("next") << q("Velk Movements - KTN:  1 - MVMT:  1");
        QTest::newRow("on a row") << QStringList {q("last")} << q("prev") << q("Velk Movements - KTN:  1 - MVMT:  1");
    }

    void undoOfANewRowReturnsWhereTheUserWas()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, then);
        QFETCH(QString, caption);
        add(1, 1, "{\\rtf1 one}");
        add(2, 1, "{\\rtf1 two}");
        open();
        for (const QString& key : before) {
            click(key.toLatin1().constData());
        }
        const auto position = m_window->controller().recordset()->position();
        const bool atEnd = m_window->controller().recordset()->eof();
        const QString title = m_window->windowTitle();
        const QString description = child<velk::ui::RichTextBox>("txtDescription")->toPlainText();
        click("new");
        QCOMPARE(child<velk::ui::FlexGrid>("fgPitches")->rows(), 0);
        m_answers = {true};
        press(Qt::Key_U, Qt::ControlModifier);
        QCOMPARE(int(m_messages.size()), 1);
        QVERIFY(!m_window->controller().bMovementEditMode());
        QCOMPARE(m_window->controller().recordset()->position(), position);
        QCOMPARE(m_window->controller().recordset()->eof(), atEnd);
        QCOMPARE(m_window->windowTitle(), title);
        QCOMPARE(child<velk::ui::RichTextBox>("txtDescription")->toPlainText(), description);
        QCOMPARE(child<velk::ui::FlexGrid>("fgPitches")->rows(), 3);
        QVERIFY(m_window->controller().iLastMovementID() > 0);
        click(then.toLatin1().constData());
        QCOMPARE(m_window->windowTitle(), caption);
    }

    void theTabulationsPageFollowsAMoveAndWritesNothing()
    {
        add(1, 1, "");
        const auto second = add(2, 1, "");
        db().execute("insert into tblMovementPitchJoin (iMovementID, iPitchID) select ?, min(iPitchID) from "
                     "tblPitchLookup",
                     {second});
        db().execute("update tblMovement set Deviation = 99 where iMovementID = ?", {second});
        open();
        clickTab(2);
        QCOMPARE(child<QLabel>("lblTotalPitchCount")->text(), q("3"));
        click("next");
        QCOMPARE(m_window->windowTitle(), q("Velk Movements - KTN:  2 - MVMT:  1"));
        QCOMPARE(child<QLabel>("lblTotalPitchCount")->text(), q("4"));
        QCOMPARE(child<velk::ui::FlexGrid>("fgTabsReal")->rows(), 5);
        QCOMPARE(db().query("select Deviation from tblMovement where iMovementID = ?", {second}).field(0).toDouble(),
                 99.0);
        click("next"); // past the end: the figures stay
        QCOMPARE(child<QLabel>("lblTotalPitchCount")->text(), q("4"));
    }

    void theTabulationsPageOffersFindAndNoDelete()
    {
        add(1, 1, "");
        add(2, 1, "");
        open();
        int finds = 0;
        frmMovement::findHook = [&finds](const std::string&) {
            ++finds;
        };
        clickTab(2);
        QVERIFY(!child<QAction>("delete")->isEnabled());
        QVERIFY(child<QAction>("find")->isEnabled());
        click("find");
        QCOMPARE(finds, 1);
        focus("fgTabsClass");
        m_answers = {true};
        press(Qt::Key_D, Qt::ControlModifier);
        QVERIFY(m_messages.empty());
        QCOMPARE(count("tblMovement"), std::int64_t(2));
    }

    // Text is shown from its start, and columns take the room the grid has.
    void textShowsWhileThereIsRoom()
    {
        const auto first = add(1, 1, "");
        add(2, 1, "");
        const std::string composed = "TC 1723 / FP 25 Dec 1723 at the court chapel, with the full band";
        db().execute("update tblMovement set txtComposed = ? where iMovementID = ?", {composed, first});
        open();
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

        auto* grid = child<velk::ui::DataGrid>("dbgMovements");
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
                QVERIFY(grid->columnWidth(column) >= velk::ui::MovementGridModel::widthTwips(column) * 96 / 1440);
            }
        }
    }

    void tabulationGridsShowAllTheirColumnsBesideTheScrollBar()
    {
        const auto id = add(1, 1, "");
        db().execute("insert into tblMovementPitchJoin (iMovementID, iPitchID) select ?, iPitchID from tblPitchLookup "
                     "where iPitchID <= 40",
                     {id});
        open();
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
        open();
        click("edit");
        focus("txtKTN");
        press(Qt::Key_P, Qt::AltModifier);
        press(Qt::Key_T, Qt::AltModifier);
        QCOMPARE(shownPage()->objectName(), q("fraMovementData"));
        QCOMPARE(child<QTabBar>("tsMovement")->currentIndex(), 0);
        QVERIFY(m_window->controller().bMovementEditMode());
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
    frmMovementTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "frmMovementTest.moc"
