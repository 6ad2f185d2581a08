#include "movement/frmMovement.h"

#include "exchange/ExchangeCommands.h"
#include "movement/DataGrid.h"
#include "movement/PageWidgets.h"
#include "search/frmFindBySubject.h"
#include "ui/Fonts.h"
#include "ui/MessageBox.h"
#include "ui/ToolbarPictures.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace velk::movement
{

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

constexpr const char* kHasToolTip = "velkHasToolTip";

} // namespace

frmMovement::frmMovement(std::string connectionString, QWidget* parent)
    : QMainWindow(parent)
{
    setupUi();
    m_controller = std::make_unique<MovementController>(
        MovementViews {*this, *m_movementPage, *m_pitchesPage, *m_tabulationsPage}, std::move(connectionString));
    m_movementPage->attach(*m_controller);
    m_pitchesPage->attach(*m_controller);
    connectSignals();
}

frmMovement::~frmMovement()
{
    qApp->removeEventFilter(this);
    // The grid's model watches the recordset, which goes with the controller before the child widgets go.
    m_movementPage->grid()->setRecordset(nullptr);
}

MovementController& frmMovement::controller()
{
    return *m_controller;
}

store::Result<> frmMovement::load()
{
    m_actions[Find]->setVisible(true);
    auto outcome = m_controller->Load();
    if (outcome) {
        m_movementPage->grid()->setRecordset(m_controller->records().recordset());
        m_movementPage->syncMovementGrid(m_controller->records().recordset()->currentIndex());
        m_movementPage->showBoundFields();
    }
    return outcome;
}

// -------------------------------------------------------------------------------------------------------------
// Layout

void frmMovement::setupUi()
{
    setObjectName(QStringLiteral("frmMovement"));
    setWindowTitle(qs(MovementController::kDesignCaption));
    setFont(ui::bookAntiqua(12, true));
    setWindowIcon(ui::applicationIcon());
    resize(1180, 780);

    setupMenu();
    setupToolbar();

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(6, 4, 6, 4);
    m_tabs = new QTabBar(central);
    m_tabs->setObjectName(QStringLiteral("tsMovement"));
    m_tabs->setExpanding(false);
    m_tabs->setDrawBase(true);
    for (const auto& tab : tabs()) {
        const int index = m_tabs->addTab(QString::fromUtf8(tab.caption));
        m_tabs->setTabData(index, QString::fromLatin1(tab.key));
    }
    m_pages = new QStackedWidget(central);
    m_subjectsPage = new SubjectsWidget(m_pages);
    m_movementPage = new MovementDataWidget(*m_subjectsPage, m_pages);
    m_pitchesPage = new PitchesWidget(m_pages);
    m_tabulationsPage = new TabulationsWidget(m_pages);
    m_noPage = new QWidget(m_pages);
    for (QWidget* page :
         std::initializer_list<QWidget*> {m_movementPage, m_pitchesPage, m_tabulationsPage, m_subjectsPage, m_noPage}) {
        m_pages->addWidget(page);
    }
    layout->addWidget(m_tabs);
    layout->addWidget(m_pages, 1);
    setCentralWidget(central);
    statusBar()->setObjectName(QStringLiteral("sbrMovement"));

    // Closed fields are read all day while browsing: they keep their ink and only lose the white of an
    // open field.
    for (QWidget* page : std::initializer_list<QWidget*> {m_movementPage, m_subjectsPage, m_pitchesPage}) {
        QPalette palette = page->palette();
        for (auto role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText}) {
            palette.setColor(QPalette::Disabled, role, palette.color(QPalette::Active, role));
        }
        page->setPalette(palette);
    }
    statusBar()->setFont(ui::bookAntiqua(10, false));
}

void frmMovement::setupToolbar()
{
    m_toolbar = new QToolBar(this);
    m_toolbar->setObjectName(QStringLiteral("tbrMovement"));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolbar->setIconSize(QSize(24, 24));
    m_toolbar->setFont(ui::bookAntiqua(10, true));
    addToolBar(Qt::TopToolBarArea, m_toolbar);
    for (const auto& button : toolbarButtons()) {
        if (button.index == 0) {
            continue;
        }
        if (button.index == Spacer) {
            auto* gap = new QWidget(m_toolbar);
            gap->setObjectName(QStringLiteral("tbrMovementSpacer"));
            gap->setFixedWidth(300 * 96 / 1440);
            m_toolbar->addWidget(gap);
            continue;
        }
        auto* action = new QAction(ui::toolbarPicture(button.picture), QString::fromUtf8(button.caption), this);
        action->setObjectName(QString::fromLatin1(button.key));
        action->setData(QString::fromLatin1(button.key)); // the Tag
        // A button without a tool tip of its own shows none (see eventFilter).
        action->setToolTip(QString::fromUtf8(button.toolTip));
        action->setProperty(kHasToolTip, *button.toolTip != '\0');
        // The caption's access key shows, and Alt with it clicks the button while it is enabled.
        action->setIconText(usesAccessKey(button.index) ? QString::fromUtf8(button.caption)
                                                        : QString::fromUtf8(button.caption).remove(QLatin1Char('&')));
        const int index = button.index;
        connect(action, &QAction::triggered, this, [this, index] { tbrMovementButtonClick(index); });
        m_toolbar->addAction(action);
        m_actions[index] = action;
    }
}

void frmMovement::setupMenu()
{
    // "F&ile": Alt+F belongs to the Find button.
    QMenu* file = menuBar()->addMenu(QStringLiteral("F&ile"));
    file->setObjectName(QStringLiteral("mnuFile"));
    QAction* musicXml = file->addAction(QStringLiteral("Export Movement as &MusicXML..."));
    musicXml->setObjectName(QStringLiteral("mnuExportMusicXml"));
    connect(musicXml, &QAction::triggered, this, &frmMovement::mnuExportMusicXmlClick);
    QAction* csv = file->addAction(QStringLiteral("Export Catalogue as &CSV..."));
    csv->setObjectName(QStringLiteral("mnuExportCsv"));
    connect(csv, &QAction::triggered, this, &frmMovement::mnuExportCsvClick);
    file->addSeparator();
    // Ctrl+P is read by the window's key handling (eventFilter), as its other command keys are; the menu only
    // names it.
    QAction* print = file->addAction(QStringLiteral("&Print...\tCtrl+P"));
    print->setObjectName(QStringLiteral("mnuPrint"));
    connect(print, &QAction::triggered, this, &frmMovement::mnuPrintClick);
}

void frmMovement::connectSignals()
{
    // The page follows every change of the selected tab, however it is made (a click, an access key, the arrow
    // keys on the focused tab bar); a click on the tab already selected prepares its page again.
    connect(m_tabs, &QTabBar::currentChanged, this, &frmMovement::tsMovementClick);
    connect(m_tabs, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index >= 0 && index == m_tabs->currentIndex()) {
            tsMovementClick(index);
        }
    });
    qApp->installEventFilter(this);
}

// -------------------------------------------------------------------------------------------------------------
// Event handlers

void frmMovement::tbrMovementButtonClick(int button)
{
    m_controller->ToolbarClick(button);
}

void frmMovement::mnuExportMusicXmlClick()
{
    const auto id = m_controller->records().currentMovementId();
    if (!id) {
        tell({"Choose a stored movement to export its line."});
        return;
    }
    showOutcome(exchange::exportMusicXmlCommand(this, m_controller->connectionString(), *id,
                                                QStringLiteral("movement-%1.musicxml").arg(*id)));
}

void frmMovement::mnuExportCsvClick()
{
    showOutcome(exchange::exportCsvCommand(this, m_controller->connectionString(), exchange::Selection::all(),
                                           QStringLiteral("catalogue.csv")));
}

void frmMovement::mnuPrintClick()
{
    // The print dialog's "Selection" is the work of the current movement.
    std::optional<exchange::Selection> work;
    if (m_controller->records().currentMovementId()) {
        const auto& ktn = m_controller->records().recordset()->field("iKTN");
        if (!ktn.isNull()) {
            work = exchange::Selection::work(ktn.toInt64());
        }
    }
    showOutcome(exchange::printCommand(this, m_controller->connectionString(), exchange::Selection::all(), work));
}

void frmMovement::showOutcome(const std::optional<QString>& outcome)
{
    if (outcome) {
        statusBar()->showMessage(*outcome);
    }
}

void frmMovement::tsMovementClick(int index)
{
    if (index < 0 || !m_tabs->isEnabled()) {
        return;
    }
    m_controller->TabClick(std8(m_tabs->tabData(index).toString()));
}

bool frmMovement::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        // A tool button would show its caption as a tool tip where the button has none.
        auto* button = qobject_cast<QToolButton*>(watched);
        return button && button->parentWidget() == m_toolbar && button->defaultAction()
            && !button->defaultAction()->property(kHasToolTip).toBool();
    }
    if (event->type() == QEvent::Shortcut) {
        // A button's access key would click it only after a 100 ms animation, so keys typed straight after it
        // (the new movement's KTN after Alt+N) would reach the control that had the focus before. It clicks now.
        auto* button = qobject_cast<QToolButton*>(watched);
        if (button && button->parentWidget() == m_toolbar && button->defaultAction()) {
            if (button->isEnabled()) {
                button->defaultAction()->trigger();
            }
            return true;
        }
        // The Insert button's access key, likewise at once.
        if (watched == m_pitchesPage->insertButton()) {
            if (m_pitchesPage->insertButton()->isEnabled()) {
                m_pitchesPage->insertButton()->click();
            }
            return true;
        }
        return false;
    }
    if (event->type() == QEvent::KeyRelease && qobject_cast<QWidget*>(watched)
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Backspace) {
        m_backspaceRepeat.released(static_cast<QKeyEvent*>(event)->timestamp());
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
    if (widget == m_pitchesPage->entryBox() && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
        m_controller->PitchKeyPress(Enter, std8(m_pitchesPage->entryBox()->text()));
        return true;
    }
    if (widget == m_pitchesPage->entryBox() && key->key() == Qt::Key_Backspace && key->modifiers() == Qt::NoModifier) {
        const bool held = m_backspaceRepeat.pressIsRepeat(key->isAutoRepeat(), key->timestamp());
        if (m_controller->PitchBackspace(std8(m_pitchesPage->entryBox()->text()), held)) {
            return true;
        }
    }
    // Insert and Alt+I click the pitches page's Insert button, and only that: Alt+I would otherwise type an "i"
    // into the box while the button is disabled. Shift+Insert stays the box's paste.
    const auto keypadFree = key->modifiers() & ~Qt::KeypadModifier;
    if (m_pages->currentWidget() == m_pitchesPage
        && ((key->key() == Qt::Key_Insert && keypadFree == Qt::NoModifier)
            || (key->key() == Qt::Key_I && keypadFree == Qt::AltModifier))) {
        if (!key->isAutoRepeat() && m_pitchesPage->insertButton()->isEnabled()) {
            m_pitchesPage->insertButton()->click();
        }
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
        && isWindowAccessKey(static_cast<char>('A' + (key->key() - Qt::Key_A)))) {
        return true;
    }
    if (modifiers == Qt::ControlModifier && key->key() == Qt::Key_P) {
        if (!key->isAutoRepeat()) {
            mnuPrintClick();
        }
        return true;
    }
    if (modifiers == Qt::ControlModifier && letter) {
        const int code = key->key() - Qt::Key_A + 1;
        if (buttonForKeyCode(code)) {
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
    if (m_controller->records().recordset() && !m_controller->Unload()) {
        event->ignore();
        return;
    }
    event->accept();
}

// -------------------------------------------------------------------------------------------------------------
// WindowView

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
        m_pages->setCurrentWidget(m_movementPage);
        break;
    case Page::Pitches:
        m_pages->setCurrentWidget(m_pitchesPage);
        break;
    case Page::Tabulations:
        m_pages->setCurrentWidget(m_tabulationsPage);
        break;
    case Page::Subjects:
        m_pages->setCurrentWidget(m_subjectsPage);
        break;
    }
}

void frmMovement::setTabsEnabled(bool enabled)
{
    m_tabs->setEnabled(enabled);
}

void frmMovement::setButtonsEnabled(const ButtonFlags& enabled)
{
    for (int i = 1; i <= kButtonCount; ++i) {
        if (m_actions[i]) {
            m_actions[i]->setEnabled(enabled[i]);
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
    search::frmFindBySubject::ShowFindBySubject(this, connectionString);
}

bool frmMovement::ask(const Message& question)
{
    return ui::showMessageBox(this,
                              {qs(question.title), qs(question.text),
                               question.icon == MessageIcon::Question ? ui::BoxIcon::Question : ui::BoxIcon::None,
                               true});
}

void frmMovement::tell(const Message& message)
{
    ui::showMessageBox(this,
                       {qs(message.title), qs(message.text),
                        message.icon == MessageIcon::Warning ? ui::BoxIcon::Warning : ui::BoxIcon::None});
}

} // namespace velk::movement
