#include "search/frmFindBySubject.h"

#include "melody/frmFindByMelody.h"

#include "store/Connection.h"
#include "store/StoreError.h"
#include "ui/FlexGrid.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStatusBar>
#include <QStringList>

#include <algorithm>
#include <vector>

std::function<void(const QString& title, const QString& text)> frmFindBySubject::messageHook;

namespace
{

// The window is laid out in twips (1/1440 inch), drawn at 96 dots per inch.
constexpr int kTwipsPerPixel = 1440 / 96;

int px(int twips)
{
    return (twips * 96 + 720) / 1440;
}

QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(px(left), px(top), px(width), px(height));
}

constexpr int kClientWidth = 10860;
constexpr int kClientHeight = 6330;
constexpr int kGridLeft = 0;
constexpr int kGridTop = 600;
constexpr int kGridWidth = 10815;
constexpr int kGridHeight = 5295;
constexpr int kStatusTop = 5955;
constexpr int kStatusHeight = 375;

QFont bookAntiqua(double pointSize)
{
    QFont font(QStringLiteral("Book Antiqua"));
    font.setPointSizeF(pointSize);
    font.setBold(true);
    return font;
}

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
    mnuSearchMenu = m_menuBar->addMenu(QStringLiteral("&Menu"));
    mnuSearchMenu->setObjectName(QStringLiteral("mnuSearchMenu"));
    mnuLoad = mnuSearchMenu->addAction(QStringLiteral("&Load"));
    mnuLoad->setObjectName(QStringLiteral("mnuLoad"));
    mnuLoad->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    mnuSave = mnuSearchMenu->addAction(QStringLiteral("&Save"));
    mnuSave->setObjectName(QStringLiteral("mnuSave"));
    mnuSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    // The shortcuts must work without the menu open, so the window carries the actions too.
    addAction(mnuLoad);
    addAction(mnuSave);
    // The melodic search has a window of its own, so this window keeps its layout and behaviour.
    mnuSearchMenu->addSeparator();
    auto* mnuMelody = mnuSearchMenu->addAction(QStringLiteral("Find by &Melody..."));
    mnuMelody->setObjectName(QStringLiteral("mnuMelody"));
    mnuMelody->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    addAction(mnuMelody);
    connect(mnuMelody, &QAction::triggered, this,
            [this] { frmFindByMelody::ShowFindByMelody(this, ConnectionString.toStdString()); });

    const QFont searchFont = bookAntiqua(12);

    fraSearch = new QFrame(this);
    fraSearch->setObjectName(QStringLiteral("fraSearch"));
    fraSearch->setFrameShape(QFrame::StyledPanel);

    cboSearch = new QComboBox(fraSearch);
    cboSearch->setObjectName(QStringLiteral("cboSearch"));
    cboSearch->setEditable(true);
    cboSearch->setInsertPolicy(QComboBox::NoInsert);
    // The box searches for exactly what was typed: no completion, and Enter does not swap the text for a
    // list item that differs from it only in case.
    cboSearch->setCompleter(nullptr);
    cboSearch->setFont(searchFont);
    cboSearch->setGeometry(twipsRect(120, 120, 4215, 435));

    chkUseWildcard = new QCheckBox(QStringLiteral("Wildcard"), fraSearch);
    chkUseWildcard->setObjectName(QStringLiteral("chkUseWildcard"));
    chkUseWildcard->setFont(searchFont);
    chkUseWildcard->setGeometry(twipsRect(4440, 120, 1335, 375));

    lblSortBy = new QLabel(QStringLiteral("Sort By"), fraSearch);
    lblSortBy->setObjectName(QStringLiteral("lblSortBy"));
    lblSortBy->setFont(searchFont);
    lblSortBy->setGeometry(twipsRect(6120, 120, 975, 375));

    // Both option buttons share fraSearch as parent, so they form one exclusive group.
    optSortPriority = new QRadioButton(QStringLiteral("Priority"), fraSearch);
    optSortPriority->setObjectName(QStringLiteral("optSortPriority"));
    optSortPriority->setFont(searchFont);
    optSortPriority->setGeometry(twipsRect(7080, 120, 1215, 315));
    optSortPriority->setChecked(true);

    optSortDeviation = new QRadioButton(QStringLiteral("Deviation"), fraSearch);
    optSortDeviation->setObjectName(QStringLiteral("optSortDeviation"));
    optSortDeviation->setFont(searchFont);
    optSortDeviation->setGeometry(twipsRect(8280, 120, 1455, 315));

    cmdSearch = new QPushButton(QStringLiteral("&Search"), fraSearch);
    cmdSearch->setObjectName(QStringLiteral("cmdSearch"));
    cmdSearch->setFont(searchFont);
    cmdSearch->setGeometry(twipsRect(9720, 120, 975, 375));
    // Enter in the subject box runs the search itself; a default button would run it a second time.
    cmdSearch->setAutoDefault(false);
    cmdSearch->setDefault(false);

    fgSearchResult = new velk::ui::FlexGrid(this);
    fgSearchResult->setObjectName(QStringLiteral("fgSearchResult"));
    fgSearchResult->setFont(bookAntiqua(9.75));

    sbrSubjectCount = new QStatusBar(this);
    sbrSubjectCount->setObjectName(QStringLiteral("sbrSubjectCount"));
    sbrSubjectCount->setFont(searchFont);
    sbrSubjectCount->setSizeGripEnabled(false);

    const int menuHeight = m_menuBar->sizeHint().height();
    m_menuBar->setGeometry(0, 0, px(kClientWidth), menuHeight);
    fraSearch->setGeometry(twipsRect(0, 0, 10815, 615).translated(0, menuHeight));
    fgSearchResult->setGeometry(twipsRect(kGridLeft, kGridTop, kGridWidth, kGridHeight).translated(0, menuHeight));
    sbrSubjectCount->setGeometry(twipsRect(0, kStatusTop, kClientWidth, kStatusHeight).translated(0, menuHeight));
    setMinimumSize(px(kClientWidth), px(kClientHeight) + menuHeight);
    resize(px(kClientWidth), px(kClientHeight) + menuHeight);
    SetupResultGrid();
}

void frmFindBySubject::connectSignals()
{
    connect(cmdSearch, &QPushButton::clicked, this, &frmFindBySubject::search);
    // The line edit reports Enter and Return once each, however the key reached it.
    connect(cboSearch->lineEdit(), &QLineEdit::returnPressed, this, &frmFindBySubject::search);
    // Enter on a subject chosen in the open list puts it in the box and runs the search, as Enter in the box
    // does; a click in the list only chooses.
    cboSearch->view()->installEventFilter(this);
    connect(cboSearch, &QComboBox::activated, this, [this] {
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
    if (watched == cboSearch->view() && isKey && cboSearch->view()->isVisible()) {
        // The list may take Enter while its key is looked at for shortcuts, before the key press itself.
        const int key = static_cast<QKeyEvent*>(event)->key();
        m_enterInList = key == Qt::Key_Return || key == Qt::Key_Enter;
    } else if (watched == cboSearch->view() && event->type() == QEvent::Show) {
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
    const int statusHeight = px(kStatusHeight);
    const int statusTop = height - statusHeight;
    sbrSubjectCount->setGeometry(0, statusTop, width, statusHeight);
    const int gridTop = menuHeight + px(kGridTop);
    const int gridBottomGap = px(kStatusTop) - px(kGridTop + kGridHeight);
    fgSearchResult->setGeometry(px(kGridLeft), gridTop, width - (px(kClientWidth) - px(kGridWidth)),
                                statusTop - gridBottomGap - gridTop);
}

void frmFindBySubject::SetupResultGrid()
{
    const auto& headers = velk::search::resultHeaders();
    fgSearchResult->setRows(0);
    fgSearchResult->setCols(static_cast<int>(velk::search::kResultColumns));
    fgSearchResult->clear();
    fgSearchResult->addItem(QString::fromStdString(velk::search::joinCells(headers, false)));
    fgSearchResult->addItem(QString(static_cast<int>(velk::search::kResultColumns) - 1, QLatin1Char('\t')));
    fgSearchResult->setFixedRows(1);
    fgSearchResult->setRows(1);
    fgSearchResult->setFixedCols(0);
    const auto& widths = velk::search::resultColumnWidths();
    for (std::size_t column = 0; column < widths.size(); ++column) {
        // A header wider than its column's width (the bold "Deviation") widens the column to show it whole.
        const int header = fgSearchResult->horizontalHeader()->sectionSizeHint(static_cast<int>(column));
        fgSearchResult->setColWidth(static_cast<int>(column), std::max(widths[column], header * kTwipsPerPixel));
    }
}

void frmFindBySubject::load()
{
    SetupResultGrid();
    // Each opening starts at the left, whatever the last one scrolled to.
    fgSearchResult->horizontalScrollBar()->setValue(0);
    fgSearchResult->setVisible(true);
    cboSearch->setEditText(QString());
    cboSearch->clear();
    cboSearch->clearEditText();
    chkUseWildcard->setChecked(false);
    optSortPriority->setChecked(true);
    sbrSubjectCount->clearMessage();
    std::vector<std::string> subjects;
    unload();
    try {
        m_reader = std::make_unique<velk::store::Connection>(
            velk::store::Connection::open(ConnectionString.toStdString(), velk::store::AccessMode::ReadOnly));
        subjects = velk::search::subjectList(*m_reader);
    } catch (const velk::store::StoreError& error) {
        // Searches then open their own connection, and say what is wrong each time.
        m_reader.reset();
        showMessage(QString::fromStdString(error.what()), true);
    }
    QStringList items;
    items.reserve(static_cast<qsizetype>(subjects.size()));
    for (const auto& subject : subjects) {
        items.append(QString::fromStdString(subject));
    }
    cboSearch->addItems(items);
    cboSearch->setCurrentIndex(-1);
    cboSearch->clearEditText();
    cboSearch->setFocus();
}

void frmFindBySubject::search()
{
    const velk::search::SearchRequest request {cboSearch->currentText().toStdString(), chkUseWildcard->isChecked(),
                                               optSortDeviation->isChecked()};
    const auto result = m_reader ? velk::search::runSearch(*m_reader, request)
                                 : velk::search::runSearch(ConnectionString.toStdString(), request);
    if (!result.ok) {
        // The previous results and status stay as they were: they still describe the last search that ran.
        showMessage(QString::fromStdString(result.error), true);
        return;
    }
    QStringList rows;
    rows.reserve(static_cast<qsizetype>(result.rows.size()));
    for (const auto& row : result.rows) {
        rows.append(QString::fromStdString(velk::search::joinCells(row, false)));
    }
    fgSearchResult->setRows(1);
    fgSearchResult->setVisible(false);
    fgSearchResult->addItems(rows);
    if (!rows.isEmpty()) {
        fgSearchResult->setRow(fgSearchResult->rows() - 1);
    }
    fgSearchResult->setVisible(true);
    const QString status = QString::fromStdString(result.statusText);
    sbrSubjectCount->showMessage(status);
    if (result.matchCount == 0) {
        showMessage(status, false);
    }
}

void frmFindBySubject::unload()
{
    m_reader.reset();
}

QString frmFindBySubject::statusText() const
{
    return sbrSubjectCount->currentMessage();
}

void frmFindBySubject::showMessage(const QString& text, bool warning)
{
    if (messageHook) {
        messageHook(kMessageTitle, text);
        return;
    }
    QMessageBox box(warning ? QMessageBox::Warning : QMessageBox::NoIcon, kMessageTitle, text, QMessageBox::Ok, this);
    box.exec();
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
