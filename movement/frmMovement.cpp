#include "movement/frmMovement.h"

#include "search/frmFindBySubject.h"
#include "tabulations/Tabulation.h"
#include "ui/ClassChart.h"
#include "ui/DataGrid.h"
#include "ui/FlexGrid.h"
#include "ui/Fonts.h"
#include "ui/MovementGridModel.h"
#include "ui/PitchChartDialog.h"
#include "ui/RichTextBox.h"
#include "ui/ToolbarPictures.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

using velk::movement::FocusTarget;
using velk::movement::Message;
using velk::movement::MessageIcon;
using velk::movement::Page;
using velk::movement::RichBox;

std::function<bool(const Message&, bool)> frmMovement::messageHook;
std::function<void(const std::string&)> frmMovement::findHook;

namespace
{

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

std::string std8(const QString& text)
{
    return text.toStdString();
}

QLabel* label(const char* objectName, const char* text, QWidget* parent)
{
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    l->setObjectName(QString::fromLatin1(objectName));
    return l;
}

// Rows for the pitch grid: the position number, a tab and the glyph.
QStringList pitchGridRows(const std::vector<velk::pitches::SequenceEntry>& entries, std::size_t firstNumber)
{
    QStringList rows;
    rows.reserve(static_cast<qsizetype>(entries.size()));
    std::size_t n = firstNumber;
    for (const auto& entry : entries) {
        rows.append(QString::number(n++) + QLatin1Char('\t') + qs(entry.glyph));
    }
    return rows;
}

constexpr double kGlyphPointSize = 16;
constexpr int kTabulationColumnWidth = 64;
constexpr const char* kHasToolTip = "velkHasToolTip";
constexpr double kPitchBoxPointSize = 15.75;

} // namespace

frmMovement::frmMovement(std::string connectionString, QWidget* parent)
    : QMainWindow(parent)
    , m_controller(std::make_unique<velk::movement::MovementController>(*this, std::move(connectionString)))
{
    setupUi();
    connectSignals();
}

frmMovement::~frmMovement()
{
    qApp->removeEventFilter(this);
    // The grid's model watches the recordset, which goes with the controller before the child widgets go.
    dbgMovements->setRecordset(nullptr);
}

velk::movement::MovementController& frmMovement::controller()
{
    return *m_controller;
}

velk::store::Outcome frmMovement::load()
{
    m_actions[velk::movement::Find]->setVisible(true);
    auto outcome = m_controller->Load();
    if (outcome) {
        dbgMovements->setRecordset(m_controller->recordset());
        syncMovementGrid(m_controller->recordset()->currentIndex());
        showBoundFields();
    }
    return outcome;
}

// -------------------------------------------------------------------------------------------------------------
// Layout

void frmMovement::setupUi()
{
    setObjectName(QStringLiteral("frmMovement"));
    setWindowTitle(qs(velk::movement::MovementController::kDesignCaption));
    setFont(velk::ui::bookAntiqua(12, true));
    setWindowIcon(velk::ui::applicationIcon());
    resize(1180, 780);

    setupToolbar();

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(6, 4, 6, 4);
    tsMovement = new QTabBar(central);
    tsMovement->setObjectName(QStringLiteral("tsMovement"));
    tsMovement->setExpanding(false);
    tsMovement->setDrawBase(true);
    for (const auto& tab : velk::movement::tabs()) {
        const int index = tsMovement->addTab(QString::fromUtf8(tab.caption));
        tsMovement->setTabData(index, QString::fromLatin1(tab.key));
    }
    m_pages = new QStackedWidget(central);
    fraMovementData = setupMovementPage();
    fraMovementPitches = setupPitchesPage();
    fraMovementTabs = setupTabulationsPage();
    fraMovementSubjects = setupSubjectsPage();
    m_noPage = new QWidget(m_pages);
    for (QWidget* page : {fraMovementData, fraMovementPitches, fraMovementTabs, fraMovementSubjects, m_noPage}) {
        m_pages->addWidget(page);
    }
    layout->addWidget(tsMovement);
    layout->addWidget(m_pages, 1);
    setCentralWidget(central);
    statusBar()->setObjectName(QStringLiteral("sbrMovement"));

    // Closed fields are read all day while browsing: they keep their ink and only lose the white of an
    // open field.
    for (QWidget* page : {fraMovementData, fraMovementSubjects, fraMovementPitches}) {
        QPalette palette = page->palette();
        for (auto role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText}) {
            palette.setColor(QPalette::Disabled, role, palette.color(QPalette::Active, role));
        }
        page->setPalette(palette);
    }
    statusBar()->setFont(velk::ui::bookAntiqua(10, false));
}

void frmMovement::setupToolbar()
{
    tbrMovement = new QToolBar(this);
    tbrMovement->setObjectName(QStringLiteral("tbrMovement"));
    tbrMovement->setMovable(false);
    tbrMovement->setFloatable(false);
    tbrMovement->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    tbrMovement->setIconSize(QSize(24, 24));
    tbrMovement->setFont(velk::ui::bookAntiqua(10, true));
    addToolBar(Qt::TopToolBarArea, tbrMovement);
    for (const auto& button : velk::movement::toolbarButtons()) {
        if (button.index == 0) {
            continue;
        }
        if (button.index == velk::movement::Spacer) {
            auto* gap = new QWidget(tbrMovement);
            gap->setObjectName(QStringLiteral("tbrMovementSpacer"));
            gap->setFixedWidth(300 * 96 / 1440);
            tbrMovement->addWidget(gap);
            continue;
        }
        auto* action = new QAction(velk::ui::toolbarPicture(button.picture), QString::fromUtf8(button.caption), this);
        action->setObjectName(QString::fromLatin1(button.key));
        action->setData(QString::fromLatin1(button.key)); // the Tag
        // A button without a tool tip of its own shows none (see eventFilter).
        action->setToolTip(QString::fromUtf8(button.toolTip));
        action->setProperty(kHasToolTip, *button.toolTip != '\0');
        // The caption's access key shows, and Alt with it clicks the button while it is enabled.
        action->setIconText(velk::movement::usesAccessKey(button.index)
                                ? QString::fromUtf8(button.caption)
                                : QString::fromUtf8(button.caption).remove(QLatin1Char('&')));
        const int index = button.index;
        connect(action, &QAction::triggered, this, [this, index] { tbrMovementButtonClick(index); });
        tbrMovement->addAction(action);
        m_actions[index] = action;
    }
}

QLineEdit* frmMovement::addBoundText(const char* objectName, const char* field)
{
    auto* box = new QLineEdit();
    box->setObjectName(QString::fromLatin1(objectName));
    box->setFont(velk::ui::bookAntiqua(12, false));
    m_boundTexts.push_back({box, field});
    connect(box, &QLineEdit::textEdited, this,
            [this, field](const QString& text) { m_controller->SetBoundText(field, std8(text)); });
    return box;
}

QCheckBox* frmMovement::addBoundCheck(const char* objectName, const char* caption, const char* field)
{
    auto* box = new QCheckBox(QString::fromUtf8(caption));
    box->setObjectName(QString::fromLatin1(objectName));
    m_boundChecks.push_back({box, field});
    connect(box, &QCheckBox::clicked, this,
            [this, field](bool checked) { m_controller->SetBoundCheck(field, checked); });
    return box;
}

QWidget* frmMovement::setupMovementPage()
{
    auto* page = new QWidget(m_pages);
    page->setObjectName(QStringLiteral("fraMovementData"));
    auto* splitter = new QSplitter(Qt::Vertical, page);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 4, 0, 0);
    layout->addWidget(splitter);

    dbgMovements = new velk::ui::DataGrid(splitter);
    dbgMovements->setObjectName(QStringLiteral("dbgMovements"));
    dbgMovements->setFont(velk::ui::bookAntiqua(12, true));
    dbgMovements->setRequestMove([this](std::size_t row) { return m_controller->GridRowChosen(row); });
    splitter->addWidget(dbgMovements);

    auto* lower = new QWidget(splitter);
    auto* lowerLayout = new QHBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);

    auto* fields = new QWidget(lower);
    auto* grid = new QGridLayout(fields);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(8);
    struct Entry
    {
        const char* labelName;
        const char* labelText;
        const char* boxName;
        const char* field;
    };
    const Entry entries[] = {
        {"lblKTN", "KTN", "txtKTN", "iKTN"},
        {"lblMvmt", "Mvt.", "txtMvmt", "iMvmt"},
        {"lblOrder", "Order #", "txtOrder", "iOrder"},
        {"Label3", "TC/FP", "txtComposed", "txtComposed"},
        {"lblMm", "Mm.", "txtMm", "iLength"},
        {"lbl12in", "12 in", "txt12in", "i12in"},
        {"lblOpening", "Opening Key", "txtOpening", "strOpeningKey"},
        {"lblClosing", "Closing Key", "txtClosing", "strClosingKey"},
    };
    int row = 0;
    for (const auto& entry : entries) {
        grid->addWidget(label(entry.labelName, entry.labelText, fields), row, 0);
        grid->addWidget(addBoundText(entry.boxName, entry.field), row, 1);
        ++row;
    }
    // The column of boxes is wide enough for a whole date line such as "TC 1723 / FP 25 Dec 1723".
    const QFontMetrics metrics(velk::ui::bookAntiqua(12, false));
    m_boundTexts.front().box->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("TC 0000 / FP 00 Dec 0000"))
                                              + 16);
    auto* voices = new QGroupBox(fields);
    voices->setObjectName(QStringLiteral("fraVoices"));
    auto* voiceLayout = new QGridLayout(voices);
    voiceLayout->addWidget(label("lblVoice", "Voice Parts", voices), 0, 0, 1, 2);
    voiceLayout->addWidget(addBoundCheck("chkSoprano", "Soprano", "chkSoprano"), 1, 0);
    voiceLayout->addWidget(addBoundCheck("chkAlto", "Alto", "chkAlto"), 1, 1);
    voiceLayout->addWidget(addBoundCheck("chkTenor", "Tenor", "chkTenor"), 2, 0);
    voiceLayout->addWidget(addBoundCheck("chkBass", "Bass", "chkBass"), 2, 1);
    voiceLayout->addWidget(addBoundCheck("chkAccomp", "Accompanied", "chkAccompanied"), 3, 0, 1, 2);
    grid->addWidget(voices, row, 0, 1, 2);
    grid->setRowStretch(row + 1, 1);

    auto* description = new QWidget(lower);
    auto* descriptionLayout = new QVBoxLayout(description);
    descriptionLayout->setContentsMargins(0, 0, 0, 0);
    descriptionLayout->addWidget(label("lblComments", "Dremm's Handbook", description));
    txtDescription = new velk::ui::RichTextBox(description);
    txtDescription->setObjectName(QStringLiteral("txtDescription"));
    txtDescription->setFont(velk::ui::bookAntiqua(12, false));
    descriptionLayout->addWidget(txtDescription, 1);

    lowerLayout->addWidget(fields, 0);
    lowerLayout->addWidget(description, 1);
    splitter->addWidget(lower);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    return page;
}

QWidget* frmMovement::setupSubjectsPage()
{
    auto* page = new QWidget(m_pages);
    page->setObjectName(QStringLiteral("fraMovementSubjects"));
    auto* layout = new QGridLayout(page);
    const char* labelNames[] = {"lblSub1", "lblSub2", "lblkSub3", "lblSub4", "lblSub5", "lblSub6"};
    const char* labelTexts[] = {"Subject 1", "Subject 2", "Subject 3", "Subject 4", "Subject 5", "Subject 6"};
    const char* boxNames[] = {"txtSub1", "txtSub2", "txtSub3", "txtSub4", "txtSub5", "txtSub6"};
    const char* fields[] = {"Sub1", "Sub2", "Sub3", "Sub4", "Sub5", "Sub6"};
    for (int i = 0; i < 6; ++i) {
        layout->addWidget(label(labelNames[i], labelTexts[i], page), i, 0);
        layout->addWidget(addBoundText(boxNames[i], fields[i]), i, 1);
    }
    layout->addWidget(label("Label7", "Comments", page), 6, 0, Qt::AlignTop);
    txtComments = new velk::ui::RichTextBox(page);
    txtComments->setObjectName(QStringLiteral("txtComments"));
    txtComments->setFont(velk::ui::bookAntiqua(12, false));
    layout->addWidget(txtComments, 6, 1);
    layout->setRowStretch(6, 1);
    layout->setColumnStretch(1, 1);
    return page;
}

QWidget* frmMovement::setupPitchesPage()
{
    auto* page = new QWidget(m_pages);
    page->setObjectName(QStringLiteral("fraMovementPitches"));
    auto* layout = new QHBoxLayout(page);

    fgPitches = new velk::ui::FlexGrid(page);
    fgPitches->setObjectName(QStringLiteral("fgPitches"));
    fgPitches->setFont(velk::ui::bookAntiqua(12, true));
    fgPitches->setCols(2);
    fgPitches->setFixedRows(0);
    fgPitches->setFixedCols(1);
    fgPitches->setRows(0);
    fgPitches->setColWidth(1, 1800);
    fgPitches->setMinimumWidth(220);
    layout->addWidget(fgPitches, 0);

    auto* side = new QWidget(page);
    auto* grid = new QGridLayout(side);
    grid->addWidget(label("Label1", "Pitch", side), 0, 0);
    txtPitch = new QLineEdit(side);
    txtPitch->setObjectName(QStringLiteral("txtPitch"));
    txtPitch->setFont(velk::ui::velkFont(kPitchBoxPointSize));
    txtPitch->setMinimumWidth(160);
    grid->addWidget(txtPitch, 0, 1);
    grid->addWidget(label("Label8", "Sharps", side), 1, 0);
    lblSharpCount = label("lblSharpCount", "0", side);
    grid->addWidget(lblSharpCount, 1, 1);
    grid->addWidget(label("Label9", "Flats", side), 2, 0);
    lblFlatCount = label("lblFlatCount", "0", side);
    grid->addWidget(lblFlatCount, 2, 1);
    auto* hint = label("lblPitchHint",
                       "Type a spelling and press Enter: a letter (capital for the lower register), then * for a "
                       "sharp, ** for a double sharp, / for a flat, // for a double flat.",
                       side);
    hint->setWordWrap(true);
    hint->setFont(velk::ui::bookAntiqua(10, false));
    grid->addWidget(hint, 3, 0, 1, 2);
    auto* chart = new QPushButton(QStringLiteral("Spellings..."), side);
    chart->setObjectName(QStringLiteral("cmdPitchChart"));
    chart->setAutoDefault(false);
    chart->setFocusPolicy(Qt::NoFocus);
    connect(chart, &QPushButton::clicked, this, [this] {
        velk::ui::PitchChartDialog::Pitches list;
        for (const auto& pitch : m_controller->pitchLookup().pitches()) {
            list.emplace_back(pitch.spelling.value_or(std::string()), pitch.glyph);
        }
        velk::ui::PitchChartDialog dialog(list, this);
        dialog.exec();
    });
    grid->addWidget(chart, 4, 0, 1, 2, Qt::AlignLeft);
    grid->setRowStretch(5, 1);
    grid->setColumnStretch(2, 1);
    layout->addWidget(side, 1);
    return page;
}

QWidget* frmMovement::setupTabulationsPage()
{
    auto* page = new QWidget(m_pages);
    page->setObjectName(QStringLiteral("fraMovementTabs"));
    auto* layout = new QGridLayout(page);
    layout->addWidget(label("Label2", "Tabulations by Pitch Class", page), 0, 0);
    layout->addWidget(label("Label4", "Tabulations by Real Pitch", page), 0, 1);
    fgTabsClass = new velk::ui::FlexGrid(page);
    fgTabsClass->setObjectName(QStringLiteral("fgTabsClass"));
    fgTabsReal = new velk::ui::FlexGrid(page);
    fgTabsReal->setObjectName(QStringLiteral("fgTabsReal"));
    for (auto* grid : {fgTabsClass, fgTabsReal}) {
        grid->setFont(velk::ui::bookAntiqua(12, true));
        grid->setFixedCols(0);
    }
    resetTabulationGrid(fgTabsClass, "Class");
    resetTabulationGrid(fgTabsReal, "Pitch");
    layout->addWidget(fgTabsClass, 1, 0);
    layout->addWidget(fgTabsReal, 1, 1);
    m_classChart = new velk::ui::ClassChart(page);
    m_classChart->setObjectName(QStringLiteral("chtTabsClass"));
    layout->addWidget(m_classChart, 1, 2);
    layout->setColumnStretch(2, 1);
    auto* totals = new QHBoxLayout();
    totals->addWidget(label("Label5", "Total Pitch Count:", page));
    lblTotalPitchCount = label("lblTotalPitchCount", "", page);
    lblTotalPitchCount->setMinimumWidth(80);
    totals->addWidget(lblTotalPitchCount);
    totals->addSpacing(30);
    totals->addWidget(label("Label6", "Average Deviation from 8.3%:", page));
    lblAvgDev = label("lblAvgDev", "", page);
    lblAvgDev->setMinimumWidth(80);
    totals->addWidget(lblAvgDev);
    totals->addStretch(1);
    layout->addLayout(totals, 2, 0, 1, 3);
    layout->setRowStretch(1, 1);
    return page;
}

void frmMovement::resetTabulationGrid(velk::ui::FlexGrid* grid, const char* first)
{
    grid->setRows(1);
    grid->setCols(3);
    grid->setFixedRows(1);
    grid->setCurrentCell(0, 0);
    grid->setText(QString::fromLatin1(first));
    grid->setCol(1);
    grid->setText(QStringLiteral("Count"));
    grid->setCol(2);
    grid->setText(QStringLiteral("%"));
    fitTabulationGrid(grid);
}

void frmMovement::fitTabulationGrid(velk::ui::FlexGrid* grid)
{
    // Wide enough for its three columns beside the vertical scroll bar, so that the bar covers none of them and
    // no horizontal bar is needed.
    grid->resizeColumnsToContents();
    for (int column = 0; column < 3; ++column) {
        grid->setColumnWidth(column, std::max(grid->columnWidth(column), kTabulationColumnWidth));
    }
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setMinimumWidth(grid->horizontalHeader()->length() + grid->verticalScrollBar()->sizeHint().width()
                          + 2 * grid->frameWidth());
}

void frmMovement::connectSignals()
{
    // The page follows every change of the selected tab, however it is made (a click, an access key, the arrow
    // keys on the focused tab bar); a click on the tab already selected prepares its page again.
    connect(tsMovement, &QTabBar::currentChanged, this, &frmMovement::tsMovementClick);
    connect(tsMovement, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index >= 0 && index == tsMovement->currentIndex()) {
            tsMovementClick(index);
        }
    });
    connect(fgPitches, &velk::ui::FlexGrid::selChange, this, &frmMovement::fgPitchesSelChange);
    qApp->installEventFilter(this);
}

// -------------------------------------------------------------------------------------------------------------
// Event handlers

void frmMovement::tbrMovementButtonClick(int button)
{
    m_controller->ToolbarClick(button);
}

void frmMovement::tsMovementClick(int index)
{
    if (index < 0 || !tsMovement->isEnabled()) {
        return;
    }
    m_controller->TabClick(std8(tsMovement->tabData(index).toString()));
}

void frmMovement::fgPitchesSelChange()
{
    // Moving the current column back to the glyph raises the signal again; that inner call has nothing to do.
    if (m_inPitchSelChange) {
        return;
    }
    m_inPitchSelChange = true;
    if (fgPitches->col() != 1 && fgPitches->row() >= 0) {
        fgPitches->setCol(1);
    }
    const int row = fgPitches->row();
    m_inPitchSelChange = false;
    m_controller->PitchSelectionChanged(row >= 0 ? std::optional<std::size_t>(static_cast<std::size_t>(row))
                                                 : std::nullopt);
}

bool frmMovement::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        // A tool button would show its caption as a tool tip where the button has none.
        auto* button = qobject_cast<QToolButton*>(watched);
        return button && button->parentWidget() == tbrMovement && button->defaultAction()
            && !button->defaultAction()->property(kHasToolTip).toBool();
    }
    if (event->type() == QEvent::FocusOut) {
        // A bound box left after an edit shows the start of its text again, as it does on every record.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        for (const auto& bound : m_boundTexts) {
            if (watched == bound.box && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
                bound.box->setCursorPosition(0);
            }
        }
        return false;
    }
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this) {
        return false;
    }
    // The filter sees a key first where it is delivered, before that control does; what the window takes is
    // consumed there, so it never travels on to a parent (where the focus may have changed meanwhile, by a
    // message box the command showed) and never runs twice.
    auto* key = static_cast<QKeyEvent*>(event);
    if (widget == txtPitch && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
        m_controller->PitchKeyPress(13, std8(txtPitch->text()));
        return true;
    }
    // The five command keys belong to the window, whether their button is enabled or not: a text box would
    // otherwise take Ctrl+U as "delete the line" and Ctrl+D as "delete a character". They are read from the
    // key and the modifier (the event's text differs by platform).
    const auto modifiers = key->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    const bool letter = key->key() >= Qt::Key_A && key->key() <= Qt::Key_Z;
    // An access key whose button or tab is disabled (during an edit) reaches the control as a key press: it
    // would type its letter into the focused box.
    if (modifiers == Qt::AltModifier && letter
        && velk::movement::isWindowAccessKey(static_cast<char>('A' + (key->key() - Qt::Key_A)))) {
        return true;
    }
    if (modifiers == Qt::ControlModifier && letter) {
        const int code = key->key() - Qt::Key_A + 1;
        if (velk::movement::buttonForKeyCode(code)) {
            if (!key->isAutoRepeat()) {
                m_controller->KeyPress(code);
            }
            return true;
        }
    }
    return false;
}

void frmMovement::closeEvent(QCloseEvent* event)
{
    if (m_controller->recordset() && !m_controller->Unload()) {
        event->ignore();
        return;
    }
    event->accept();
}

// -------------------------------------------------------------------------------------------------------------
// MovementView

void frmMovement::setCaption(const std::string& caption)
{
    setWindowTitle(qs(caption));
}

void frmMovement::showPage(Page page)
{
    switch (page) {
    case Page::None:
        m_pages->setCurrentWidget(m_noPage);
        break;
    case Page::MovementData:
        m_pages->setCurrentWidget(fraMovementData);
        break;
    case Page::Pitches:
        m_pages->setCurrentWidget(fraMovementPitches);
        break;
    case Page::Tabulations:
        m_pages->setCurrentWidget(fraMovementTabs);
        break;
    case Page::Subjects:
        m_pages->setCurrentWidget(fraMovementSubjects);
        break;
    }
}

void frmMovement::setTabsEnabled(bool enabled)
{
    tsMovement->setEnabled(enabled);
}

void frmMovement::setMovementFieldsEnabled(bool enabled)
{
    // The classic order of the fields; only the enabled flags change.
    const char* order[]
        = {"txt12in",  "txtKTN",    "txtClosing", "txtDescription", "txtMm",    "txtMvmt",    "txtOpening",
           "txtOrder", "chkAccomp", "chkAlto",    "chkBass",        "chkTenor", "chkSoprano", "txtComposed",
           "txtSub1",  "txtSub2",   "txtSub3",    "txtSub4",        "txtSub5",  "txtSub6",    "txtComments"};
    for (const char* name : order) {
        if (auto* field = findChild<QWidget*>(QString::fromLatin1(name))) {
            field->setEnabled(enabled);
        }
    }
}

void frmMovement::showBoundFields()
{
    for (const auto& bound : m_boundTexts) {
        const QString text = qs(m_controller->BoundText(bound.field));
        if (bound.box->text() != text) {
            QSignalBlocker block(bound.box);
            bound.box->setText(text);
        }
        // A box too narrow for its text shows the start of it, not the end.
        if (!bound.box->hasFocus()) {
            bound.box->setCursorPosition(0);
        }
    }
    for (const auto& bound : m_boundChecks) {
        QSignalBlocker block(bound.box);
        bound.box->setChecked(m_controller->BoundCheck(bound.field));
    }
}

void frmMovement::syncMovementGrid(std::optional<std::size_t> row)
{
    if (dbgMovements->movementModel()) {
        dbgMovements->syncToCurrent(row);
    }
}

velk::ui::RichTextBox* frmMovement::richBox(RichBox box) const
{
    return box == RichBox::Description ? txtDescription : txtComments;
}

void frmMovement::setRichText(RichBox box, const std::string& rtf)
{
    richBox(box)->setTextRtf(rtf);
}

void frmMovement::setRichPlainText(RichBox box, const std::string& text)
{
    richBox(box)->setPlainTextContent(text);
}

std::optional<std::string> frmMovement::editedRichText(RichBox box)
{
    auto* rich = richBox(box);
    if (!rich->isEdited()) {
        return std::nullopt;
    }
    return rich->textRtf();
}

void frmMovement::markRichTextSaved(RichBox box)
{
    richBox(box)->markSaved();
}

void frmMovement::pitchGridReset(const std::vector<velk::pitches::SequenceEntry>& entries)
{
    fgPitches->setVisible(false);
    fgPitches->setRows(0);
    fgPitches->clear();
    if (!entries.empty()) {
        std::vector<std::int32_t> ids;
        ids.reserve(entries.size());
        for (const auto& entry : entries) {
            ids.push_back(entry.pitchId);
        }
        fgPitches->addItems(pitchGridRows(entries, 1), ids, 1, velk::ui::velkFont(kGlyphPointSize));
    }
    fgPitches->setVisible(true);
}

void frmMovement::pitchGridAppend(const velk::pitches::SequenceEntry& entry)
{
    const int n = fgPitches->rows();
    fgPitches->addItem(QString::number(n + 1) + QLatin1Char('\t') + qs(entry.glyph));
    m_inPitchSelChange = true;
    fgPitches->setCurrentCell(n, 1);
    fgPitches->setCellFont(QString::fromLatin1(velk::ui::kVelkFont), kGlyphPointSize, false);
    m_inPitchSelChange = false;
    fgPitches->setRowData(n, entry.pitchId);
}

void frmMovement::pitchGridReplace(std::size_t row, const velk::pitches::SequenceEntry& entry)
{
    const int r = static_cast<int>(row);
    fgPitches->setTextMatrix(r, 1, qs(entry.glyph));
    fgPitches->setRowData(r, entry.pitchId);
}

void frmMovement::pitchGridRemove(std::size_t row)
{
    fgPitches->removeItem(static_cast<int>(row));
    for (int i = static_cast<int>(row); i < fgPitches->rows(); ++i) {
        fgPitches->setTextMatrix(i, 0, QString::number(i + 1));
    }
}

void frmMovement::pitchGridSetCurrent(std::optional<std::size_t> row, bool scrollIntoView)
{
    m_inPitchSelChange = true;
    if (row) {
        const int r = static_cast<int>(*row);
        fgPitches->setCurrentCell(r, 1);
        if (scrollIntoView && !fgPitches->rowIsVisible(r)) {
            fgPitches->setTopRow(r);
        }
    }
    m_inPitchSelChange = false;
}

void frmMovement::setPitchCounts(const std::string& sharps, const std::string& flats)
{
    lblSharpCount->setText(qs(sharps));
    lblFlatCount->setText(qs(flats));
}

void frmMovement::setPitchBox(const std::string& text, bool editing)
{
    txtPitch->setEnabled(editing);
    txtPitch->setFont(editing ? velk::ui::bookAntiqua(kPitchBoxPointSize, false)
                              : velk::ui::velkFont(kPitchBoxPointSize));
    txtPitch->setText(qs(text));
}

void frmMovement::clearTabulations()
{
    resetTabulationGrid(fgTabsClass, "Class");
    resetTabulationGrid(fgTabsReal, "Pitch");
    m_classChart->clear();
}

void frmMovement::showTabulations(const velk::tabulations::Tabulation& tabulation)
{
    auto fill = [](velk::ui::FlexGrid* grid, const std::vector<velk::tabulations::TabulationRow>& rows) {
        QStringList lines;
        lines.reserve(static_cast<qsizetype>(rows.size()));
        for (const auto& row : rows) {
            lines.append(qs(row.glyph) + QLatin1Char('\t') + qs(row.countText) + QLatin1Char('\t')
                         + qs(row.percentText));
        }
        grid->setVisible(false);
        grid->addItems(lines, 0, velk::ui::velkFont(kGlyphPointSize));
        grid->setVisible(true);
    };
    fill(fgTabsReal, tabulation.realRows);
    fill(fgTabsClass, tabulation.classRows);
    fitTabulationGrid(fgTabsReal);
    fitTabulationGrid(fgTabsClass);
    std::vector<std::pair<QString, double>> bars;
    for (std::size_t i = 0; i < tabulation.classRows.size(); ++i) {
        const auto& count = i < tabulation.classCounts.size() ? tabulation.classCounts[i] : std::nullopt;
        bars.emplace_back(qs(tabulation.classRows[i].glyph),
                          count ? velk::tabulations::percentage(*count, tabulation.total) : 0.0);
    }
    m_classChart->setClasses(bars);
}

void frmMovement::setTabulationLabels(const std::string& total, const std::string& average)
{
    lblTotalPitchCount->setText(qs(total));
    lblAvgDev->setText(qs(average));
}

void frmMovement::setButtonsEnabled(const velk::movement::ButtonFlags& enabled)
{
    for (int i = 1; i <= velk::movement::kButtonCount; ++i) {
        if (m_actions[i]) {
            m_actions[i]->setEnabled(enabled[i]);
        }
    }
}

void frmMovement::setFocus(FocusTarget target)
{
    switch (target) {
    case FocusTarget::KTN:
        findChild<QLineEdit*>(QStringLiteral("txtKTN"))->setFocus();
        break;
    case FocusTarget::Sub1:
        findChild<QLineEdit*>(QStringLiteral("txtSub1"))->setFocus();
        break;
    case FocusTarget::PitchGrid:
        fgPitches->setFocus();
        break;
    case FocusTarget::PitchBox:
        txtPitch->setFocus();
        break;
    }
}

void frmMovement::focusField(const std::string& field)
{
    for (const auto& bound : m_boundTexts) {
        if (field == bound.field) {
            bound.box->setFocus(Qt::OtherFocusReason);
            bound.box->selectAll();
            return;
        }
    }
}

void frmMovement::setStatus(const std::string& text)
{
    if (text.empty()) {
        statusBar()->clearMessage();
    } else {
        statusBar()->showMessage(qs(text));
    }
}

void frmMovement::showFindBySubject(const std::string& connectionString)
{
    if (findHook) {
        findHook(connectionString);
        return;
    }
    frmFindBySubject::ShowFindBySubject(this, connectionString);
}

bool frmMovement::ask(const Message& question)
{
    if (messageHook) {
        return messageHook(question, true);
    }
    QMessageBox box(question.icon == MessageIcon::Question ? QMessageBox::Question : QMessageBox::NoIcon,
                    qs(question.title), qs(question.text), QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void frmMovement::tell(const Message& message)
{
    if (messageHook) {
        messageHook(message, false);
        return;
    }
    QMessageBox box(message.icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon,
                    qs(message.title), qs(message.text), QMessageBox::Ok, this);
    box.exec();
}
