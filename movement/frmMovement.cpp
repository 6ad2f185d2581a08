#include "movement/frmMovement.h"

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
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

using velk::movement::Message;
using velk::movement::MessageIcon;
using velk::movement::Page;

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
    m_controller = std::make_unique<velk::movement::MovementController>(
        velk::movement::MovementViews {*this, *m_movementPage, *m_pitchesPage, *m_tabulationsPage},
        std::move(connectionString));
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

velk::movement::MovementController& frmMovement::controller()
{
    return *m_controller;
}

velk::store::Result<> frmMovement::load()
{
    m_actions[velk::movement::Find]->setVisible(true);
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
    m_subjectsPage = new velk::movement::SubjectsWidget(m_pages);
    m_movementPage = new velk::movement::MovementDataWidget(*m_subjectsPage, m_pages);
    m_pitchesPage = new velk::movement::PitchesWidget(m_pages);
    m_tabulationsPage = new velk::movement::TabulationsWidget(m_pages);
    m_noPage = new QWidget(m_pages);
    for (QWidget* page :
         std::initializer_list<QWidget*> {m_movementPage, m_pitchesPage, m_tabulationsPage, m_subjectsPage, m_noPage}) {
        m_pages->addWidget(page);
    }
    layout->addWidget(tsMovement);
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

bool frmMovement::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        // A tool button would show its caption as a tool tip where the button has none.
        auto* button = qobject_cast<QToolButton*>(watched);
        return button && button->parentWidget() == tbrMovement && button->defaultAction()
            && !button->defaultAction()->property(kHasToolTip).toBool();
    }
    if (event->type() == QEvent::Shortcut) {
        // A button's access key would click it only after a 100 ms animation, so keys typed straight after it
        // (the new movement's KTN after Alt+N) would reach the control that had the focus before. It clicks now.
        auto* button = qobject_cast<QToolButton*>(watched);
        if (button && button->parentWidget() == tbrMovement && button->defaultAction()) {
            if (button->isEnabled()) {
                button->defaultAction()->trigger();
            }
            return true;
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
    if (widget == m_pitchesPage->entryBox() && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
        m_controller->PitchKeyPress(velk::movement::Enter, std8(m_pitchesPage->entryBox()->text()));
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
    tsMovement->setEnabled(enabled);
}

void frmMovement::setButtonsEnabled(const velk::movement::ButtonFlags& enabled)
{
    for (int i = 1; i <= velk::movement::kButtonCount; ++i) {
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
    velk::search::frmFindBySubject::ShowFindBySubject(this, connectionString);
}

bool frmMovement::ask(const Message& question)
{
    return velk::ui::showMessageBox(
        this,
        {qs(question.title), qs(question.text),
         question.icon == MessageIcon::Question ? velk::ui::BoxIcon::Question : velk::ui::BoxIcon::None, true});
}

void frmMovement::tell(const Message& message)
{
    velk::ui::showMessageBox(
        this,
        {qs(message.title), qs(message.text),
         message.icon == MessageIcon::Warning ? velk::ui::BoxIcon::Warning : velk::ui::BoxIcon::None});
}
