#pragma once

#include "movement/DataGrid.h"
#include "movement/MovementGridModel.h"
#include "movement/frmMovement.h"
#include "store/Connection.h"
#include "store/ConnectionString.h"
#include "store/Value.h"
#include "tabulations/Tabulation.h"
#include "tests/support/TempCatalogue.h"
#include "ui/Application.h"
#include "ui/FlexGrid.h"
#include "ui/Fonts.h"
#include "ui/MessageBox.h"
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
#include <QTextLayout>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>

#include <memory>
#include <vector>

namespace velk::test
{

using velk::movement::Message;

inline QString q(const char* text)
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

/// Drives the real movement window offscreen over a temporary catalogue: the state and the helpers of the
/// window's test classes.
class WindowFixture
{
protected:
    std::unique_ptr<velk::test::TempCatalogue> m_catalogue;
    std::unique_ptr<velk::movement::frmMovement> m_window;
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

    // Opens the window over the catalogue; false (the test failed) when it could not be loaded or shown, so the
    // caller stops with QVERIFY(open()).
    [[nodiscard]] bool open()
    {
        m_window = std::make_unique<velk::movement::frmMovement>(m_catalogue->connectionString());
        const auto outcome = m_window->load();
        if (!outcome.ok()) {
            qWarning("the window did not load: %s", outcome.message().c_str());
            return false;
        }
        m_window->show();
        if (!QTest::qWaitForWindowExposed(m_window.get())) {
            return false;
        }
        m_window->activateWindow();
        return QTest::qWaitForWindowActive(m_window.get());
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

    // Brings the open window into a starting state; false when it did not get there, so the caller stops with
    // QVERIFY(prepare(…)).
    [[nodiscard]] bool prepare(Setup setup)
    {
        switch (setup) {
        case Browsing:
            return true;
        case Editing:
            click("edit");
            return m_window->controller().records().bMovementEditMode();
        case PitchPage:
            clickTab(1);
            return shownPage()->objectName() == q("fraMovementPitches");
        case PitchEntry:
            clickTab(1);
            click("new");
            return m_window->controller().pitches().bPitchEditMode();
        }
        return false;
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

    void clickGridRow(velk::movement::DataGrid* grid, int row)
    {
        const QRect rect = grid->visualRect(grid->model()->index(row, 0));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, rect.center());
    }

    void setUp()
    {
        m_catalogue = std::make_unique<velk::test::TempCatalogue>();
        m_messages.clear();
        m_answers.clear();
        velk::ui::setMessageBoxHook([this](const velk::ui::BoxMessage& shown) {
            Message message;
            message.title = shown.title.toStdString();
            message.text = shown.text.toStdString();
            message.icon = shown.icon == velk::ui::BoxIcon::Question ? velk::movement::MessageIcon::Question
                : shown.icon == velk::ui::BoxIcon::Warning           ? velk::movement::MessageIcon::Warning
                                                                     : velk::movement::MessageIcon::None;
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
        });
    }

    void tearDown()
    {
        m_window.reset();
        velk::ui::setMessageBoxHook(nullptr);
        velk::movement::frmMovement::findHook = nullptr;
    }
};

} // namespace velk::test
