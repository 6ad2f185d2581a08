#include "search/frmFindBySubject.h"

#include "exchange/ExchangeCommands.h"
#include "melody/frmFindByMelody.h"

#include "ui/FlexGrid.h"
#include "ui/Fonts.h"
#include "ui/MessageBox.h"
#include "ui/Twips.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStatusBar>
#include <QStringList>

#include <algorithm>
#include <limits>
#include <vector>

namespace velk::search
{

namespace
{

using ui::twipsToPixels;

// The window is laid out in twips.
QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
}

constexpr int kClientWidth = 10860;
constexpr int kClientHeight = 6330;
constexpr int kGridLeft = 0;
constexpr int kGridTop = 600;
constexpr int kGridWidth = 10815;
constexpr int kGridHeight = 5295;
constexpr int kStatusTop = 5955;
constexpr int kStatusHeight = 375;

const QString kMessageTitle = QStringLiteral("Velk - Search");

} // namespace

frmFindBySubject::frmFindBySubject(QWidget* parent)
    : QDialog(parent)
{
    createControls();
    connectSignals();
}

frmFindBySubject::~frmFindBySubject() = default;

void frmFindBySubject::setConnectionString(const std::string& connectionString)
{
    const QString named = QString::fromStdString(connectionString);
    if (named != ConnectionString) {
        // The opening's connection reads the catalogue named before.
        unload();
    }
    ConnectionString = named;
}

void frmFindBySubject::createControls()
{
    setObjectName(QStringLiteral("frmFindBySubject"));
    setWindowTitle(QStringLiteral("Find By Subject"));

    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName(QStringLiteral("menuBar"));
    m_searchMenu = m_menuBar->addMenu(QStringLiteral("&Menu"));
    m_searchMenu->setObjectName(QStringLiteral("mnuSearchMenu"));
    m_loadAction = m_searchMenu->addAction(QStringLiteral("&Load"));
    m_loadAction->setObjectName(QStringLiteral("mnuLoad"));
    m_loadAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    m_saveAction = m_searchMenu->addAction(QStringLiteral("&Save"));
    m_saveAction->setObjectName(QStringLiteral("mnuSave"));
    m_saveAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    // The shortcuts must work without the menu open, so the window carries the actions too.
    addAction(m_loadAction);
    addAction(m_saveAction);
    // The melodic search has a window of its own, so this window keeps its layout and behaviour.
    m_searchMenu->addSeparator();
    auto* melodyAction = m_searchMenu->addAction(QStringLiteral("Find by &Melody..."));
    melodyAction->setObjectName(QStringLiteral("mnuMelody"));
    melodyAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    addAction(melodyAction);
    connect(melodyAction, &QAction::triggered, this,
            [this] { velk::melody::frmFindByMelody::ShowFindByMelody(this, ConnectionString.toStdString()); });
    // The results go to a spreadsheet or to paper as the catalogue does.
    m_searchMenu->addSeparator();
    auto* exportAction = m_searchMenu->addAction(QStringLiteral("E&xport Results as CSV..."));
    exportAction->setObjectName(QStringLiteral("mnuExportResults"));
    connect(exportAction, &QAction::triggered, this, [this] {
        showOutcome(exchange::exportCsvCommand(this, ConnectionString.toStdString(),
                                               exchange::Selection::movements(m_resultMovementIds),
                                               QStringLiteral("subject-results.csv")));
    });
    auto* printAction = m_searchMenu->addAction(QStringLiteral("&Print Results..."));
    printAction->setObjectName(QStringLiteral("mnuPrintResults"));
    printAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    addAction(printAction);
    connect(printAction, &QAction::triggered, this, [this] {
        showOutcome(exchange::printCommand(this, ConnectionString.toStdString(),
                                           exchange::Selection::movements(m_resultMovementIds)));
    });

    const QFont searchFont = ui::bookAntiqua(12, true);

    m_searchFrame = new QFrame(this);
    m_searchFrame->setObjectName(QStringLiteral("fraSearch"));
    m_searchFrame->setFrameShape(QFrame::StyledPanel);

    m_subjectBox = new QComboBox(m_searchFrame);
    m_subjectBox->setObjectName(QStringLiteral("cboSearch"));
    m_subjectBox->setEditable(true);
    m_subjectBox->setInsertPolicy(QComboBox::NoInsert);
    // The box searches for exactly what was typed: no completion, and Enter does not swap the text for a
    // list item that differs from it only in case.
    m_subjectBox->setCompleter(nullptr);
    // Nor is a long pasted text cut to the line edit's default limit: the whole text is searched or refused.
    m_subjectBox->lineEdit()->setMaxLength(std::numeric_limits<int>::max());
    m_subjectBox->setFont(searchFont);
    m_subjectBox->setGeometry(twipsRect(120, 120, 4215, 435));

    m_wildcardCheck = new QCheckBox(QStringLiteral("Wildcard"), m_searchFrame);
    m_wildcardCheck->setObjectName(QStringLiteral("chkUseWildcard"));
    m_wildcardCheck->setFont(searchFont);
    m_wildcardCheck->setGeometry(twipsRect(4440, 120, 1335, 375));

    m_sortByLabel = new QLabel(QStringLiteral("Sort By"), m_searchFrame);
    m_sortByLabel->setObjectName(QStringLiteral("lblSortBy"));
    m_sortByLabel->setFont(searchFont);
    m_sortByLabel->setGeometry(twipsRect(6120, 120, 975, 375));

    // Both option buttons share m_searchFrame as parent, so they form one exclusive group.
    m_sortByPriority = new QRadioButton(QStringLiteral("Priority"), m_searchFrame);
    m_sortByPriority->setObjectName(QStringLiteral("optSortPriority"));
    m_sortByPriority->setFont(searchFont);
    m_sortByPriority->setGeometry(twipsRect(7080, 120, 1215, 315));
    m_sortByPriority->setChecked(true);

    m_sortByDeviation = new QRadioButton(QStringLiteral("Deviation"), m_searchFrame);
    m_sortByDeviation->setObjectName(QStringLiteral("optSortDeviation"));
    m_sortByDeviation->setFont(searchFont);
    m_sortByDeviation->setGeometry(twipsRect(8280, 120, 1455, 315));

    m_searchButton = new QPushButton(QStringLiteral("&Search"), m_searchFrame);
    m_searchButton->setObjectName(QStringLiteral("cmdSearch"));
    m_searchButton->setFont(searchFont);
    m_searchButton->setGeometry(twipsRect(9720, 120, 975, 375));
    // Enter in the subject box runs the search itself; a default button would run it a second time.
    m_searchButton->setAutoDefault(false);
    m_searchButton->setDefault(false);

    m_resultGrid = new ui::FlexGrid(this);
    m_resultGrid->setObjectName(QStringLiteral("fgSearchResult"));
    m_resultGrid->setFont(ui::bookAntiqua(9.75, true));

    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("sbrSubjectCount"));
    m_statusBar->setFont(searchFont);
    m_statusBar->setSizeGripEnabled(false);

    const int menuHeight = m_menuBar->sizeHint().height();
    m_menuBar->setGeometry(0, 0, twipsToPixels(kClientWidth), menuHeight);
    m_searchFrame->setGeometry(twipsRect(0, 0, 10815, 615).translated(0, menuHeight));
    m_resultGrid->setGeometry(twipsRect(kGridLeft, kGridTop, kGridWidth, kGridHeight).translated(0, menuHeight));
    m_statusBar->setGeometry(twipsRect(0, kStatusTop, kClientWidth, kStatusHeight).translated(0, menuHeight));
    setMinimumSize(twipsToPixels(kClientWidth), twipsToPixels(kClientHeight) + menuHeight);
    resize(twipsToPixels(kClientWidth), twipsToPixels(kClientHeight) + menuHeight);
    SetupResultGrid();
}

void frmFindBySubject::connectSignals()
{
    connect(m_searchButton, &QPushButton::clicked, this, &frmFindBySubject::search);
    // The line edit reports Enter and Return once each, however the key reached it.
    connect(m_subjectBox->lineEdit(), &QLineEdit::returnPressed, this, &frmFindBySubject::search);
    // Enter on a subject chosen in the open list puts it in the box and runs the search, as Enter in the box
    // does; a click in the list only chooses.
    m_subjectBox->view()->installEventFilter(this);
    connect(m_subjectBox, &QComboBox::activated, this, [this] {
        const bool byEnter = m_enterInList;
        m_enterInList = false;
        if (byEnter) {
            search();
        }
    });
}

bool frmFindBySubject::eventFilter(QObject* watched, QEvent* event)
{
    const bool isKey = event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress;
    if (watched == m_subjectBox->view() && isKey && m_subjectBox->view()->isVisible()) {
        // The list may take Enter while its key is looked at for shortcuts, before the key press itself.
        const int key = static_cast<QKeyEvent*>(event)->key();
        m_enterInList = key == Qt::Key_Return || key == Qt::Key_Enter;
    } else if (watched == m_subjectBox->view() && event->type() == QEvent::Show) {
        // Each opening of the list starts afresh, whatever closed the last one.
        m_enterInList = false;
    }
    return QDialog::eventFilter(watched, event);
}

void frmFindBySubject::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    // The result grid and the status bar take whatever room the window gains.
    const int menuHeight = m_menuBar->height();
    const int width = event->size().width();
    const int height = event->size().height();
    m_menuBar->setGeometry(0, 0, width, menuHeight);
    const int statusHeight = twipsToPixels(kStatusHeight);
    const int statusTop = height - statusHeight;
    m_statusBar->setGeometry(0, statusTop, width, statusHeight);
    const int gridTop = menuHeight + twipsToPixels(kGridTop);
    const int gridBottomGap = twipsToPixels(kStatusTop) - twipsToPixels(kGridTop + kGridHeight);
    m_resultGrid->setGeometry(twipsToPixels(kGridLeft), gridTop,
                              width - (twipsToPixels(kClientWidth) - twipsToPixels(kGridWidth)),
                              statusTop - gridBottomGap - gridTop);
}

void frmFindBySubject::SetupResultGrid()
{
    const auto& headers = resultHeaders();
    m_resultGrid->setRows(0);
    m_resultGrid->setCols(static_cast<int>(kResultColumns));
    m_resultGrid->clear();
    m_resultGrid->addItem(QString::fromStdString(joinCells(headers, false)));
    m_resultGrid->addItem(QString(static_cast<int>(kResultColumns) - 1, QLatin1Char('\t')));
    m_resultGrid->setFixedRows(1);
    m_resultGrid->setRows(1);
    m_resultGrid->setFixedCols(0);
    const auto& widths = resultColumnWidths();
    for (std::size_t column = 0; column < widths.size(); ++column) {
        // A header wider than its column's width (the bold "Deviation") widens the column to show it whole.
        const int header = m_resultGrid->horizontalHeader()->sectionSizeHint(static_cast<int>(column));
        m_resultGrid->setColWidth(static_cast<int>(column), std::max(widths[column], ui::pixelsToTwips(header)));
    }
}

void frmFindBySubject::load()
{
    SetupResultGrid();
    // Each opening starts at the left, whatever the last one scrolled to.
    m_resultGrid->horizontalScrollBar()->setValue(0);
    m_resultGrid->setVisible(true);
    m_subjectBox->setEditText(QString());
    m_subjectBox->clear();
    m_subjectBox->clearEditText();
    m_wildcardCheck->setChecked(false);
    m_sortByPriority->setChecked(true);
    m_statusBar->clearMessage();
    m_resultMovementIds.clear();
    const auto subjects = m_session.open(ConnectionString.toStdString());
    if (!subjects) {
        showMessage(QString::fromStdString(subjects.message()), true);
    }
    // Each item carries the subject as stored, which another program may have written in another encoding.
    for (const auto& subject : subjects ? subjects.value() : std::vector<std::string>()) {
        m_subjectBox->addItem(QString::fromStdString(shownSubject(subject)), QByteArray::fromStdString(subject));
    }
    m_subjectBox->setCurrentIndex(-1);
    m_subjectBox->clearEditText();
    m_subjectBox->setFocus();
}

void frmFindBySubject::search()
{
    // A subject picked from the list, unchanged, is searched for as stored.
    const int picked = m_subjectBox->currentIndex();
    const bool isPicked = picked >= 0 && m_subjectBox->currentText() == m_subjectBox->itemText(picked);
    const std::string text = isPicked ? m_subjectBox->itemData(picked).toByteArray().toStdString()
                                      : m_subjectBox->currentText().toStdString();
    const SearchRequest request {text, m_wildcardCheck->isChecked(), m_sortByDeviation->isChecked()};
    const auto result = m_session.search(ConnectionString.toStdString(), request);
    if (!result) {
        // The previous results and status stay as they were: they still describe the last search that ran.
        showMessage(QString::fromStdString(result.message()), true);
        return;
    }
    // The rows are read as they come into view: a common subject shows at once.
    m_resultMovementIds = result->movementIds;
    m_resultGrid->setRows(1);
    m_resultGrid->setVisible(false);
    m_resultGrid->addItemsOnDemand(m_resultMovementIds.size(), [this](std::size_t first, std::size_t count) {
        return resultRowTexts(first, count);
    });
    if (!m_resultMovementIds.empty()) {
        m_resultGrid->setRow(m_resultGrid->rows() - 1);
    }
    m_resultGrid->setVisible(true);
    const QString status = QString::fromStdString(result->statusText);
    m_statusBar->showMessage(status);
    if (result->matchCount == 0) {
        showMessage(status, false);
    }
}

std::vector<QStringList> frmFindBySubject::resultRowTexts(std::size_t first, std::size_t count)
{
    if (first >= m_resultMovementIds.size()) {
        return {};
    }
    const auto from = m_resultMovementIds.begin() + static_cast<std::ptrdiff_t>(first);
    const std::vector<std::int64_t> ids(
        from, from + static_cast<std::ptrdiff_t>(std::min(count, m_resultMovementIds.size() - first)));
    const auto rows = m_session.rows(ids);
    if (!rows) {
        // Asked while the grid paints: no message box here; the rows stay empty and the status line says why.
        const QString message = QString::fromStdString(rows.message());
        QMetaObject::invokeMethod(
            this, [this, message] { m_statusBar->showMessage(message); }, Qt::QueuedConnection);
        return {};
    }
    std::vector<QStringList> texts;
    texts.reserve(rows->size());
    for (const auto& row : rows.value()) {
        QStringList cells;
        cells.reserve(static_cast<qsizetype>(row.size()));
        for (const auto& cell : row) {
            // As a grid row joined by tabs would show it: a tab inside a cell is a blank.
            cells.append(QString::fromStdString(cell).replace(QLatin1Char('\t'), QLatin1Char(' ')));
        }
        texts.push_back(std::move(cells));
    }
    return texts;
}

void frmFindBySubject::unload()
{
    m_session.close();
}

QString frmFindBySubject::statusText() const
{
    return m_statusBar->currentMessage();
}

void frmFindBySubject::showOutcome(const std::optional<QString>& outcome)
{
    if (outcome) {
        m_statusBar->showMessage(*outcome);
    }
}

void frmFindBySubject::showMessage(const QString& text, bool warning)
{
    ui::showMessageBox(this, {kMessageTitle, text, warning ? ui::BoxIcon::Warning : ui::BoxIcon::None});
}

void frmFindBySubject::ShowFindBySubject(QWidget* owner, const std::string& connectionString)
{
    // One shared window for the whole program; it goes with its owner.
    static QPointer<frmFindBySubject> instance;
    if (!instance) {
        instance = new frmFindBySubject(owner);
    } else if (instance->parentWidget() != owner) {
        instance->setParent(owner, instance->windowFlags());
    }
    instance->setConnectionString(connectionString);
    instance->load();
    instance->exec();
    if (instance) {
        instance->unload();
    }
}

} // namespace velk::search
