#include "tests/movement/WindowFixture.h"

using namespace velk::test;

/// The movement window's commands, pages and grids, driven offscreen.
class frmMovementTest : public QObject, protected velk::test::WindowFixture
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

    // A missing catalogue fails the load with advice naming the file and the tool that makes one.
    void aMissingCatalogueIsReportedWithAdviceNeverBrokenAtTheToolsHyphen()
    {
        velk::movement::frmMovement window(
            velk::store::connectionStringForFile((m_catalogue->folder() / "none.db").string()));
        const auto outcome = window.load();
        QVERIFY(!outcome.ok());
        const QString text = QString::fromStdString(outcome.message());
        QVERIFY2(text.contains(q("none.db")), qPrintable(text));
        const QString tool = q("velk\u2011catalogue");
        QVERIFY2(text.contains(tool), qPrintable(text));
        // Laid out as a message box's label lays it out, at every width: no line starts inside the name.
        QTextLayout layout(text, QApplication::font());
        QTextOption option;
        option.setWrapMode(QTextOption::WordWrap);
        layout.setTextOption(option);
        for (int width = 60; width <= 600; width += 4) {
            layout.beginLayout();
            for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
                line.setLineWidth(width);
            }
            layout.endLayout();
            for (int i = 1; i < layout.lineCount(); ++i) {
                const int start = layout.lineAt(i).textStart();
                for (int at = text.indexOf(tool); at >= 0; at = text.indexOf(tool, at + 1)) {
                    QVERIFY2(start <= at || start >= at + tool.size(),
                             qPrintable(QStringLiteral("broken at width %1: ").arg(width) + text));
                }
            }
        }
    }

    void startsOnTheFirstMovementWithItsCaptionAndRichText()
    {
        add(2, 1, "{\\rtf1 two}");
        add(1, 3, "{\\rtf1\\ansi Plain and {\\b bold}}");
        QVERIFY(open());
        QCOMPARE(m_window->windowTitle(), q("Velk Movements - KTN:  1 - MVMT:  3"));
        QCOMPARE(child<QLineEdit>("txtKTN")->text(), q("1"));
        QVERIFY(!child<QLineEdit>("txtKTN")->isEnabled());
        QCOMPARE(child<velk::ui::RichTextBox>("txtDescription")->toPlainText(), q("Plain and bold"));
        QCOMPARE(child<velk::movement::DataGrid>("dbgMovements")->model()->rowCount(), 2);
        QCOMPARE(child<velk::movement::DataGrid>("dbgMovements")->currentIndex().row(), 0);
        QVERIFY(child<QAction>("new")->isEnabled());
        QVERIFY(!child<QAction>("save")->isEnabled());
    }

    void navigatesToBothEndsAndBack()
    {
        add(1, 1, "");
        add(2, 1, "");
        QVERIFY(open());
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
        clickGridRow(child<velk::movement::DataGrid>("dbgMovements"), 1);
        QCOMPARE(m_window->windowTitle(), q("Velk Movements - KTN:  2 - MVMT:  1"));
        QVERIFY(child<QAction>("edit")->isEnabled());
    }

    void aRefusedGridClickSnapsBack()
    {
        add(1, 1, "");
        add(2, 1, "");
        QVERIFY(open());
        click("edit");
        QVERIFY(child<QLineEdit>("txtKTN")->isEnabled());
        QVERIFY(!child<QTabBar>("tsMovement")->isEnabled());
        QVERIFY(child<QLineEdit>("txtKTN")->hasFocus());
        auto* grid = child<velk::movement::DataGrid>("dbgMovements");
        clickGridRow(grid, 1);
        QCOMPARE(grid->currentIndex().row(), 0);
        QCOMPARE(m_window->windowTitle(), q("Velk Movements - KTN:  1 - MVMT:  1"));
    }

    void ctrlSSavesWhatWasJustTyped()
    {
        const auto id = add(1, 1, "{\\rtf1 kept {\\*\\unknown exotic} as is}");
        QVERIFY(open());
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
        QVERIFY(open());
        m_answers = {true};
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : m_window.get(), Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(m_messages.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(m_messages[0].title), q("Confirm Delete"));
        QCOMPARE(child<velk::movement::DataGrid>("dbgMovements")->model()->rowCount(), 1);
        QCOMPARE(m_window->windowTitle(), q("Velk Movements - KTN:  2 - MVMT:  1"));
    }

    void pitchesPageShowsTheSequenceAndTakesTypedPitches()
    {
        add(1, 1, "");
        QVERIFY(open());
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

    void theGridsDeviationFollowsTheStoredPitchesAtOnce()
    {
        const auto id = add(1, 1, "");
        QVERIFY(open());
        auto* movements = child<velk::movement::DataGrid>("dbgMovements");
        int deviationColumn = -1;
        for (int c = 0; c < movements->model()->columnCount(); ++c) {
            if (movements->model()->headerData(c, Qt::Horizontal).toString() == q("Dev.")) {
                deviationColumn = c;
            }
        }
        QVERIFY(deviationColumn >= 0);
        const auto shown = [&] {
            return movements->model()->index(0, deviationColumn).data().toString();
        };
        const auto figure = [&] {
            return QString::fromStdString(
                velk::store::formatSingle(velk::tabulations::tabulate(m_catalogue->connectionString(), id).deviation));
        };
        clickTab(1);
        click("new");
        QWidget* box = QApplication::focusWidget();
        QCOMPARE(box, child<QLineEdit>("txtPitch"));
        QTest::keyClicks(box, q("c"));
        QTest::keyClick(box, Qt::Key_Return);
        click("save");
        QTRY_COMPARE(shown(), figure());
        QCOMPARE(shown(), q("12.3"));
        // A deleted pitch is stored at once, and so is its figure.
        click("delete");
        QTRY_COMPARE(shown(), figure());
        QCOMPARE(shown(), q("12.2"));
    }

    void findOpensTheSearchWindowOnTheCatalogue_data()
    {
        QTest::addColumn<int>("tab");
        QTest::newRow("movement data") << 0;
        QTest::newRow("pitches") << 1;
        QTest::newRow("tabulations") << 2;
    }

    void findOpensTheSearchWindowOnTheCatalogue()
    {
        QFETCH(int, tab);
        add(1, 1, "");
        add(2, 1, "");
        QVERIFY(open());
        std::vector<std::string> opened;
        velk::movement::frmMovement::findHook = [&opened](const std::string& connection) {
            opened.push_back(connection);
        };
        clickTab(tab);
        QVERIFY(child<QAction>("find")->isEnabled());
        click("find");
        QCOMPARE(int(opened.size()), 1);
        QCOMPARE(QString::fromStdString(opened[0]), QString::fromStdString(m_catalogue->connectionString()));
    }

    void anEmptyCatalogueOpensWithNoMovement()
    {
        QVERIFY(open());
        QCOMPARE(m_window->windowTitle(), q("Velk - Movements"));
        QCOMPARE(child<QLineEdit>("txtKTN")->text(), QString());
        QVERIFY(child<QAction>("new")->isEnabled());
        QVERIFY(!child<QAction>("first")->isEnabled());
        clickTab(1);
        QCOMPARE(m_messages.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(m_messages[0].text),
                 q("Please select a movement from the grid on the movement tab."));
    }

    void closingDuringAnEditAsks()
    {
        add(1, 1, "");
        QVERIFY(open());
        click("edit");
        m_answers = {false};
        QVERIFY(m_window->close());
        QCOMPARE(m_messages.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(m_messages[0].text),
                 q("Edit in progress, do you want to save changes before exiting?"));
    }

    // Cancelling the new row on closing shows the movement before it again, whose pitches cannot be read now:
    // that ends in a message, and the window closes, as nothing typed is left pending.
    void closingDuringANewMovementWhosePitchesCannotBeReadEndsInAMessage()
    {
        add(1, 1, "");
        QVERIFY(open());
        click("new");
        QVERIFY(m_window->controller().records().bMovementEditMode());
        db().execute("alter table tblMovementPitchJoin rename to tblTakenAway");
        m_answers = {false};
        QVERIFY(m_window->close());
        QCOMPARE(m_messages.size(), std::size_t(2));
        QVERIFY(QString::fromStdString(m_messages[1].text).contains(q("tblMovementPitchJoin")));
    }

    // Every command key runs its command exactly once, wherever the focus is, and never reaches the control:
    // a text box would take Ctrl+U as "delete the line" and Ctrl+D as "delete a character".
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
        QVERIFY(open());
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
        QVERIFY(!m_window->controller().records().bMovementEditMode());
        auto* grid = child<velk::movement::DataGrid>("dbgMovements");
        QCOMPARE(m_window->controller().records().recordset()->currentIndex(), std::optional<std::size_t>(row));
        QTRY_COMPARE(grid->currentIndex().row(), row);
        QCOMPARE(grid->model()->index(row, 0).data().toString(), ktn);
        QCOMPARE(m_window->windowTitle(), q("Velk Movements - KTN:  ") + ktn + q(" - MVMT:  1"));
        for (int r = 1; r < grid->model()->rowCount(); ++r) {
            QVERIFY(grid->model()->index(r - 1, 0).data().toInt() <= grid->model()->index(r, 0).data().toInt());
        }
        // The neighbours are those of the sorted place.
        click("prev");
        QCOMPARE(m_window->controller().records().recordset()->position(), row > 0 ? long(row) : -1L);
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
        QVERIFY(open());
        for (const QString& key : before) {
            click(key.toLatin1().constData());
        }
        const auto position = m_window->controller().records().recordset()->position();
        const bool atEnd = m_window->controller().records().recordset()->eof();
        const QString title = m_window->windowTitle();
        const QString description = child<velk::ui::RichTextBox>("txtDescription")->toPlainText();
        click("new");
        QCOMPARE(child<velk::ui::FlexGrid>("fgPitches")->rows(), 0);
        m_answers = {true};
        press(Qt::Key_U, Qt::ControlModifier);
        QCOMPARE(int(m_messages.size()), 1);
        QVERIFY(!m_window->controller().records().bMovementEditMode());
        QCOMPARE(m_window->controller().records().recordset()->position(), position);
        QCOMPARE(m_window->controller().records().recordset()->eof(), atEnd);
        QCOMPARE(m_window->windowTitle(), title);
        QCOMPARE(child<velk::ui::RichTextBox>("txtDescription")->toPlainText(), description);
        QCOMPARE(child<velk::ui::FlexGrid>("fgPitches")->rows(), 3);
        QVERIFY(m_window->controller().records().iLastMovementID() > 0);
        click(then.toLatin1().constData());
        QCOMPARE(m_window->windowTitle(), caption);
    }

    void theTabulationsPageShowsTheFiguresFollowsAMoveAndWritesNothing()
    {
        add(1, 1, "");
        const auto second = add(2, 1, "");
        db().execute("insert into tblMovementPitchJoin (iMovementID, iPitchID) select ?, min(iPitchID) from "
                     "tblPitchLookup",
                     {second});
        db().execute("update tblMovement set Deviation = 99 where iMovementID = ?", {second});
        QVERIFY(open());
        clickTab(2);
        QCOMPARE(child<QLabel>("lblTotalPitchCount")->text(), q("3"));
        auto* classes = child<velk::ui::FlexGrid>("fgTabsClass");
        QCOMPARE(classes->rows(), 13);
        QCOMPARE(classes->textMatrix(0, 0), q("Class"));
        QVERIFY(!child<QLabel>("lblAvgDev")->text().isEmpty());
        QVERIFY(!child<QAction>("new")->isEnabled());
        QVERIFY(child<QAction>("find")->isEnabled());
        click("next");
        QCOMPARE(m_window->windowTitle(), q("Velk Movements - KTN:  2 - MVMT:  1"));
        QCOMPARE(child<QLabel>("lblTotalPitchCount")->text(), q("4"));
        QCOMPARE(child<velk::ui::FlexGrid>("fgTabsReal")->rows(), 5);
        QCOMPARE(db().query("select Deviation from tblMovement where iMovementID = ?", {second}).field(0).toDouble(),
                 99.0);
        click("next"); // past the end: the figures stay
        QCOMPARE(child<QLabel>("lblTotalPitchCount")->text(), q("4"));
    }

    void theTabulationsPageOffersNoDelete()
    {
        add(1, 1, "");
        add(2, 1, "");
        QVERIFY(open());
        clickTab(2);
        QVERIFY(!child<QAction>("delete")->isEnabled());
        focus("fgTabsClass");
        m_answers = {true};
        press(Qt::Key_D, Qt::ControlModifier);
        QVERIFY(m_messages.empty());
        QCOMPARE(count("tblMovement"), std::int64_t(2));
    }

    // Text is shown from its start, and columns take the room the grid has.
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    velk::ui::setupApplication();
    frmMovementTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "frmMovementTest.moc"
