#include "search/frmFindBySubject.h"

#include "search/SubjectSearch.h"

#include "store/Connection.h"
#include "store/ConnectionString.h"
#include "tests/support/TempCatalogue.h"
#include "ui/FlexGrid.h"
#include "ui/MessageBox.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace
{

struct Shown
{
    QString title;
    QString text;
};

} // namespace

class frmFindBySubjectTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opensEmptyWithTheSubjectList();
    void enterRunsTheSearchOnce();
    void buttonRunsTheSameSearch();
    void deviationOrderAndWildcardAreRead();
    void noMatchShowsTheBoxOnce();
    void secondOpeningStartsFresh();
    void menuItemsChangeNothing();
    void missingCatalogueIsReported();
    void anOpeningSeesChangesMadeMeanwhile();
    void sharedWindowOpensModallyOverItsOwner();
    void aSubjectThatIsNotUtf8IsFoundWhenPicked();
    void aLongPastedTextIsSearchedWholeOrRefused();
    void enterOnASubjectChosenInTheOpenListSearchesOnce();
    void aClickInTheOpenListOnlyChooses();
    void eachOpeningStartsScrolledLeft();
    void headersShowWhole();
    void aLongResultShowsEveryRowAsTheSearchGivesIt();

private:
    void insert(int ktn, int mvmt, const std::vector<std::optional<std::string>>& subjects, std::optional<double> dev);
    /// Opens the window afresh on the catalogue; false when it was never shown.
    [[nodiscard]] bool open();
    void typeAndEnter(const QString& text);
    QStringList column(int col) const;

    std::unique_ptr<velk::test::TempCatalogue> m_catalogue;
    std::unique_ptr<velk::search::frmFindBySubject> m_window;
    std::vector<Shown> m_shown;
    QComboBox* m_cbo = nullptr;
    velk::ui::FlexGrid* m_grid = nullptr;
    QStatusBar* m_status = nullptr;
};

void frmFindBySubjectTest::insert(int ktn,
                                  int mvmt,
                                  const std::vector<std::optional<std::string>>& subjects,
                                  std::optional<double> dev)
{
    using velk::store::Value;
    auto connection
        = velk::store::Connection::open(m_catalogue->connectionString(), velk::store::AccessMode::ReadWrite);
    std::vector<Value> params {Value(ktn), Value(mvmt), dev ? Value(*dev) : Value()};
    for (std::size_t i = 0; i < 6; ++i) {
        params.push_back(i < subjects.size() && subjects[i] ? Value(*subjects[i]) : Value());
    }
    connection.execute("INSERT INTO tblMovement (iKTN, iMvmt, iOrder, Deviation, Sub1, Sub2, Sub3, Sub4, Sub5, Sub6) "
                       "VALUES (?, ?, 1, ?, ?, ?, ?, ?, ?, ?)",
                       params);
    connection.close();
}

void frmFindBySubjectTest::init()
{
    m_catalogue = std::make_unique<velk::test::TempCatalogue>();
    insert(1, 1, {"Joy", std::nullopt, "Joy"}, 4.5);
    insert(2, 1, {"Grief", "Joyful"}, 1.25);
    insert(3, 2, {std::nullopt, std::nullopt, std::nullopt, "Grief"}, std::nullopt);
    m_shown.clear();
    velk::ui::setMessageBoxHook([this](const velk::ui::BoxMessage& message) {
        m_shown.push_back({message.title, message.text});
        return false;
    });
    m_window = std::make_unique<velk::search::frmFindBySubject>();
    m_cbo = m_window->findChild<QComboBox*>(QStringLiteral("cboSearch"));
    m_grid = m_window->findChild<velk::ui::FlexGrid*>(QStringLiteral("fgSearchResult"));
    m_status = m_window->findChild<QStatusBar*>(QStringLiteral("sbrSubjectCount"));
    QVERIFY(m_cbo && m_grid && m_status);
    QVERIFY(open());
}

void frmFindBySubjectTest::cleanup()
{
    m_window.reset();
    velk::ui::setMessageBoxHook(nullptr);
    m_catalogue.reset();
}

bool frmFindBySubjectTest::open()
{
    m_window->setConnectionString(m_catalogue->connectionString());
    m_window->load();
    m_window->show();
    m_window->activateWindow();
    return QTest::qWaitForWindowActive(m_window.get());
}

void frmFindBySubjectTest::typeAndEnter(const QString& text)
{
    m_cbo->setFocus();
    QTest::keyClicks(QApplication::focusWidget(), text);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
}

QStringList frmFindBySubjectTest::column(int col) const
{
    QStringList cells;
    for (int row = 1; row < m_grid->rows(); ++row) {
        cells << m_grid->textMatrix(row, col);
    }
    return cells;
}

void frmFindBySubjectTest::opensEmptyWithTheSubjectList()
{
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Find By Subject"));
    QCOMPARE(m_cbo->currentText(), QString());
    QStringList items;
    for (int i = 0; i < m_cbo->count(); ++i) {
        items << m_cbo->itemText(i);
    }
    QCOMPARE(items, (QStringList {QStringLiteral("Grief"), QStringLiteral("Joy"), QStringLiteral("Joyful")}));
    QCOMPARE(m_grid->rows(), 1);
    QCOMPARE(m_grid->cols(), 10);
    QCOMPARE(m_grid->fixedRows(), 1);
    QCOMPARE(m_grid->fixedCols(), 0);
    QCOMPARE(m_grid->textMatrix(0, 0), QStringLiteral("KTN"));
    QCOMPARE(m_grid->textMatrix(0, 3), QStringLiteral("Subject1"));
    QCOMPARE(m_grid->textMatrix(0, 9), QStringLiteral("Description"));
    QVERIFY(m_grid->isVisible());
    QCOMPARE(m_window->statusText(), QString());
    QVERIFY(!m_window->findChild<QCheckBox*>(QStringLiteral("chkUseWildcard"))->isChecked());
    QVERIFY(m_window->findChild<QRadioButton*>(QStringLiteral("optSortPriority"))->isChecked());
    const QFont font = m_cbo->font();
    QCOMPARE(font.family(), QStringLiteral("Book Antiqua"));
    QVERIFY(font.bold());
    QCOMPARE(font.pointSizeF(), 12.0);
    QCOMPARE(m_grid->font().pointSizeF(), 9.75);
    // Twips at 96 dpi: the subject box at 120, 120 with 4215 x 435 inside the frame; the grid 10815 wide.
    QCOMPARE(m_cbo->geometry(), QRect(8, 8, 281, 29));
    QCOMPARE(m_grid->width(), 721);
    QCOMPARE(m_grid->geometry().bottom() + 1 + 4, m_status->geometry().top());
    QCOMPARE(m_status->geometry().bottom() + 1, m_window->height());
}

void frmFindBySubjectTest::enterRunsTheSearchOnce()
{
    typeAndEnter(QStringLiteral("Joy"));
    QCOMPARE(column(0), (QStringList {QStringLiteral("1"), QStringLiteral("1")}));
    QCOMPARE(column(3), (QStringList {QStringLiteral("Joy"), QStringLiteral("Joy")}));
    QCOMPARE(column(2), (QStringList {QStringLiteral("4.5"), QStringLiteral("4.5")}));
    QCOMPARE(m_window->statusText(), QStringLiteral("2 matches for \"Joy\" found"));
    QVERIFY(m_shown.empty());
    QVERIFY(m_grid->isVisible());
    // The typed text is not added to the list.
    QCOMPARE(m_cbo->count(), 3);

    // A text that matches nothing: the one box proves that one Enter ran one search.
    m_cbo->clearEditText();
    typeAndEnter(QStringLiteral("Nothing"));
    QCOMPARE(static_cast<int>(m_shown.size()), 1);
    QCOMPARE(m_grid->rows(), 1);
    QCOMPARE(m_cbo->count(), 3);

    m_shown.clear();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(static_cast<int>(m_shown.size()), 1);

    // Enter leaves the typed text as it is, even when a list item differs from it only in case.
    m_cbo->clearEditText();
    typeAndEnter(QStringLiteral("joy"));
    QCOMPARE(m_cbo->currentText(), QStringLiteral("joy"));
    QCOMPARE(m_window->statusText(), QStringLiteral("2 matches for \"joy\" found"));
}

void frmFindBySubjectTest::buttonRunsTheSameSearch()
{
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Grief"));
    QTest::mouseClick(m_window->findChild<QPushButton*>(QStringLiteral("cmdSearch")), Qt::LeftButton);
    QCOMPARE(column(0), (QStringList {QStringLiteral("2"), QStringLiteral("3")}));
    QCOMPARE(column(1), (QStringList {QStringLiteral("1"), QStringLiteral("2")}));
    QCOMPARE(m_grid->textMatrix(2, 2), QString());
    QCOMPARE(m_window->statusText(), QStringLiteral("2 matches for \"Grief\" found"));
}

void frmFindBySubjectTest::deviationOrderAndWildcardAreRead()
{
    QTest::mouseClick(m_window->findChild<QCheckBox*>(QStringLiteral("chkUseWildcard")), Qt::LeftButton);
    m_window->findChild<QRadioButton*>(QStringLiteral("optSortDeviation"))->setChecked(true);
    QVERIFY(!m_window->findChild<QRadioButton*>(QStringLiteral("optSortPriority"))->isChecked());
    typeAndEnter(QStringLiteral("joy"));
    // Deviation 1.25 (Joyful in Sub2) before 4.5 (Joy in Sub1 and Sub3).
    QCOMPARE(column(0), (QStringList {QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("1")}));
    QCOMPARE(m_window->statusText(), QStringLiteral("3 matches for \"%joy%\" found"));

    // A second search with other settings replaces every row of the first.
    m_window->findChild<QRadioButton*>(QStringLiteral("optSortPriority"))->setChecked(true);
    m_cbo->clearEditText();
    typeAndEnter(QStringLiteral("Grief"));
    QCOMPARE(column(0), (QStringList {QStringLiteral("2"), QStringLiteral("3")}));
}

void frmFindBySubjectTest::noMatchShowsTheBoxOnce()
{
    typeAndEnter(QStringLiteral("Joy"));
    m_cbo->clearEditText();
    typeAndEnter(QStringLiteral("Sorrow"));
    QCOMPARE(m_grid->rows(), 1);
    QCOMPARE(m_window->statusText(), QStringLiteral("No matches for \"Sorrow\" found."));
    QCOMPARE(static_cast<int>(m_shown.size()), 1);
    QCOMPARE(m_shown[0].title, QStringLiteral("Velk - Search"));
    QCOMPARE(m_shown[0].text, QStringLiteral("No matches for \"Sorrow\" found."));
    QVERIFY(m_grid->isVisible());
}

void frmFindBySubjectTest::secondOpeningStartsFresh()
{
    QTest::mouseClick(m_window->findChild<QCheckBox*>(QStringLiteral("chkUseWildcard")), Qt::LeftButton);
    m_window->findChild<QRadioButton*>(QStringLiteral("optSortDeviation"))->setChecked(true);
    typeAndEnter(QStringLiteral("Joy"));
    QVERIFY(m_grid->rows() > 1);
    m_window->close();
    insert(9, 9, {"Anger"}, std::nullopt);

    QVERIFY(open());
    QCOMPARE(m_cbo->currentText(), QString());
    QCOMPARE(m_cbo->count(), 4);
    QCOMPARE(m_cbo->itemText(0), QStringLiteral("Anger"));
    QCOMPARE(m_grid->rows(), 1);
    QCOMPARE(m_window->statusText(), QString());
    QVERIFY(!m_window->findChild<QCheckBox*>(QStringLiteral("chkUseWildcard"))->isChecked());
    QVERIFY(m_window->findChild<QRadioButton*>(QStringLiteral("optSortPriority"))->isChecked());
}

void frmFindBySubjectTest::menuItemsChangeNothing()
{
    typeAndEnter(QStringLiteral("Joy"));
    auto* load = m_window->findChild<QAction*>(QStringLiteral("mnuLoad"));
    auto* save = m_window->findChild<QAction*>(QStringLiteral("mnuSave"));
    QVERIFY(load && save);
    QCOMPARE(load->text(), QStringLiteral("&Load"));
    QCOMPARE(save->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    load->trigger();
    save->trigger();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_L, Qt::ControlModifier);
    QCOMPARE(m_grid->rows(), 3);
    QCOMPARE(m_cbo->currentText(), QStringLiteral("Joy"));
    QCOMPARE(m_window->statusText(), QStringLiteral("2 matches for \"Joy\" found"));
    QVERIFY(m_shown.empty());
}

void frmFindBySubjectTest::missingCatalogueIsReported()
{
    typeAndEnter(QStringLiteral("Joy"));
    const auto missing = (m_catalogue->folder() / "absent.db").string();
    m_window->setConnectionString(velk::store::connectionStringForFile(missing));
    m_window->search();
    QCOMPARE(static_cast<int>(m_shown.size()), 1);
    QCOMPARE(m_shown[0].title, QStringLiteral("Velk - Search"));
    QVERIFY(!m_shown[0].text.isEmpty());
    // The last good search still shows.
    QCOMPARE(m_grid->rows(), 3);
    QCOMPARE(m_window->statusText(), QStringLiteral("2 matches for \"Joy\" found"));

    m_window->load();
    QCOMPARE(static_cast<int>(m_shown.size()), 2);
    QCOMPARE(m_cbo->count(), 0);
    QCOMPARE(m_grid->rows(), 1);
}

// The window keeps one connection for an opening; a search must still see what another program stored
// since the opening began, and the window must not keep that program from writing.
void frmFindBySubjectTest::anOpeningSeesChangesMadeMeanwhile()
{
    typeAndEnter(QStringLiteral("Joy"));
    QCOMPARE(m_window->statusText(), QStringLiteral("2 matches for \"Joy\" found"));
    insert(4, 1, {"Joy"}, 2.0);
    m_window->search();
    QCOMPARE(m_window->statusText(), QStringLiteral("3 matches for \"Joy\" found"));
    QVERIFY(m_shown.empty());
}

void frmFindBySubjectTest::sharedWindowOpensModallyOverItsOwner()
{
    QWidget owner;
    owner.show();
    std::vector<QString> seen;
    std::vector<velk::search::frmFindBySubject*> windows;
    std::vector<QWidget*> parents;
    auto closeWhenOpen = [&]() {
        QTimer::singleShot(0, [&]() {
            // Whatever happens, the modal window is closed so that the test cannot hang.
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            auto* modal = qobject_cast<velk::search::frmFindBySubject*>(dialog);
            windows.push_back(modal);
            if (modal) {
                parents.push_back(modal->parentWidget());
                seen.push_back(modal->findChild<QComboBox*>(QStringLiteral("cboSearch"))->itemText(0));
            }
            if (dialog) {
                dialog->reject();
            }
        });
    };
    closeWhenOpen();
    velk::search::frmFindBySubject::ShowFindBySubject(&owner, m_catalogue->connectionString());
    insert(9, 9, {"Anger"}, std::nullopt);
    closeWhenOpen();
    velk::search::frmFindBySubject::ShowFindBySubject(&owner, m_catalogue->connectionString());
    QCOMPARE(static_cast<int>(windows.size()), 2);
    QVERIFY(windows[0] != nullptr);
    QCOMPARE(windows[1], windows[0]);
    QCOMPARE(parents, (std::vector<QWidget*> {&owner, &owner}));
    QCOMPARE(seen, (std::vector<QString> {QStringLiteral("Grief"), QStringLiteral("Anger")}));
}

void frmFindBySubjectTest::aSubjectThatIsNotUtf8IsFoundWhenPicked()
{
    // Another program stored bytes that are not UTF-8; the list shows them escaped.
    {
        auto connection
            = velk::store::Connection::open(m_catalogue->connectionString(), velk::store::AccessMode::ReadWrite);
        connection.execute("UPDATE tblMovement SET Sub1 = CAST(X'4AFF6F79' AS TEXT) WHERE iKTN = 2");
    }
    QVERIFY(open());
    m_cbo->setFocus();
    QTRY_VERIFY(QApplication::focusWidget() != nullptr);
    // The subject sorts last, after "Joyful"; the arrow keys pick from the list.
    while (m_cbo->currentIndex() < m_cbo->count() - 1) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    }
    QCOMPARE(m_cbo->currentText(), QStringLiteral("J\\xFFoy"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(column(0), QStringList {QStringLiteral("2")});
    QCOMPARE(column(3), QStringList {QStringLiteral("J\\xFFoy")});
    QVERIFY(m_shown.empty());
    QCOMPARE(m_window->statusText(), QStringLiteral("1 matches for \"J\\xFFoy\" found"));
}

void frmFindBySubjectTest::aLongPastedTextIsSearchedWholeOrRefused()
{
    // Longer than a line edit holds by default (32,767) and than a search pattern may be (50,000 bytes).
    const QString pasted(60000, QLatin1Char('a'));
    QApplication::clipboard()->setText(pasted);
    m_cbo->setFocus();
    QTRY_VERIFY(QApplication::focusWidget() != nullptr);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(m_cbo->currentText().size(), pasted.size());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(m_shown.size(), std::size_t {1});
    QVERIFY2(m_shown[0].text.contains(QStringLiteral("too long: its pattern has 60000 bytes")),
             qPrintable(m_shown[0].text.left(200)));
    QCOMPARE(m_grid->rows(), 1);
}

void frmFindBySubjectTest::enterOnASubjectChosenInTheOpenListSearchesOnce()
{
    m_cbo->setFocus();
    m_cbo->showPopup();
    QAbstractItemView* list = m_cbo->view();
    QTRY_VERIFY(list->isVisible());
    list->setCurrentIndex(list->model()->index(1, 0)); // "Joy"
    QTRY_VERIFY(QApplication::focusWidget() != nullptr);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTRY_VERIFY(!list->isVisible());
    QCOMPARE(m_cbo->currentText(), QStringLiteral("Joy"));
    QCOMPARE(m_window->statusText(), QStringLiteral("2 matches for \"Joy\" found"));
    QCOMPARE(column(3), (QStringList {QStringLiteral("Joy"), QStringLiteral("Joy")}));
    QVERIFY(m_shown.empty());
}

void frmFindBySubjectTest::aClickInTheOpenListOnlyChooses()
{
    m_cbo->setFocus();
    m_cbo->showPopup();
    QAbstractItemView* list = m_cbo->view();
    QTRY_VERIFY(list->isVisible());
    const QRect item = list->visualRect(list->model()->index(0, 0)); // "Grief"
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
    QTRY_VERIFY(!list->isVisible());
    QCOMPARE(m_cbo->currentText(), QStringLiteral("Grief"));
    QCOMPARE(m_window->statusText(), QString());
    QCOMPARE(m_grid->rows(), 1);
}

void frmFindBySubjectTest::eachOpeningStartsScrolledLeft()
{
    typeAndEnter(QStringLiteral("Joy"));
    m_window->resize(300, m_window->height());
    QScrollBar* bar = m_grid->horizontalScrollBar();
    QTRY_VERIFY(bar->maximum() > 0);
    bar->setValue(bar->maximum());
    m_window->hide();
    m_window->unload();
    QVERIFY(open());
    QCOMPARE(bar->value(), 0);
}

void frmFindBySubjectTest::headersShowWhole()
{
    for (int column = 0; column < m_grid->cols(); ++column) {
        QVERIFY2(m_grid->columnWidth(column) >= m_grid->horizontalHeader()->sectionSizeHint(column),
                 qPrintable(m_grid->textMatrix(0, column)));
    }
}

QTEST_MAIN(frmFindBySubjectTest)
#include "frmFindBySubjectTest.moc"

// A result longer than the blocks the grid reads at a time: every row, read as it would come into view, is the row
// the search gives, in its order, whether the order came from memory or from the file.
void frmFindBySubjectTest::aLongResultShowsEveryRowAsTheSearchGivesIt()
{
    for (int i = 0; i < 150; ++i) {
        insert(10 + i % 40, i, {i % 3 == 0 ? std::optional<std::string>("Joy") : std::nullopt, "Joy", "x\ty"},
               i % 4 == 0 ? std::optional<double>() : std::optional<double>(i % 7));
    }
    QVERIFY(open());
    for (const bool deviation : {false, true}) {
        const auto expected = velk::search::runSearch(m_catalogue->connectionString(), {"Joy", false, deviation});
        QVERIFY(expected.ok());
        auto* order = m_window->findChild<QRadioButton*>(deviation ? QStringLiteral("optSortDeviation")
                                                                   : QStringLiteral("optSortPriority"));
        QVERIFY(order);
        QTest::mouseClick(order, Qt::LeftButton);
        QVERIFY(order->isChecked());
        m_cbo->setCurrentIndex(-1);
        m_cbo->clearEditText();
        typeAndEnter(QStringLiteral("Joy"));
        QCOMPARE(m_grid->rows(), static_cast<int>(expected->rows.size()) + 1);
        QCOMPARE(m_status->currentMessage(), QString::fromStdString(expected->statusText));
        for (int row = static_cast<int>(expected->rows.size()); row >= 1; --row) {
            QStringList cells;
            for (int col = 0; col < m_grid->cols(); ++col) {
                cells.append(m_grid->textMatrix(row, col));
            }
            QCOMPARE(cells.join(QLatin1Char('\t')),
                     QString::fromStdString(
                         velk::search::joinCells(expected->rows[static_cast<std::size_t>(row - 1)], false)));
        }
    }
}
