#include "movement/frmMovement.h"
#include "store/Connection.h"
#include "store/ConnectionString.h"
#include "store/Value.h"
#include "tabulations/Tabulation.h"
#include "tests/support/TempCatalogue.h"
#include "ui/DataGrid.h"
#include "ui/FlexGrid.h"
#include "ui/Fonts.h"
#include "ui/RichTextBox.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTabBar>
#include <QTest>
#include <QTextLayout>
#include <QToolBar>

#include <memory>
#include <vector>

using velk::movement::Message;

namespace
{

QString q(const char* text)
{
    return QString::fromUtf8(text);
}

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

    void theStartUpAdviceNeverBreaksTheToolsNameAtItsHyphen()
    {
        frmMovement window(velk::store::connectionStringForFile((m_catalogue->folder() / "none.db").string()));
        const auto outcome = window.load();
        QVERIFY(!outcome.ok);
        const QString text = QString::fromStdString(outcome.message);
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

    void theGridsDeviationFollowsTheStoredPitchesAtOnce()
    {
        const auto id = add(1, 1, "");
        open();
        auto* movements = child<velk::ui::DataGrid>("dbgMovements");
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
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    velk::ui::installFontSubstitutions();
    frmMovementTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "frmMovementTest.moc"
