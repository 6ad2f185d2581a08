#include "ui/MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>

using velk::ui::BoxIcon;
using velk::ui::BoxMessage;

Q_DECLARE_METATYPE(BoxIcon)

namespace
{

/// Runs act on the message box once it is up (modal, with the focus in it).
void whenTheBoxIsUp(std::function<void(QMessageBox&)> act)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box && box->isVisible() && QApplication::focusWidget()) {
            timer->stop();
            timer->deleteLater();
            act(*box);
        }
    });
    timer->start();
}

} // namespace

class MessageBoxTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void hookAnswersInsteadOfTheBox_data();
    void hookAnswersInsteadOfTheBox();
    void questionShowsYesAndNoWithNoTheDefault_data();
    void questionShowsYesAndNoWithNoTheDefault();
    void messageShowsOk();
};

void MessageBoxTest::cleanup()
{
    velk::ui::setMessageBoxHook(nullptr);
}

void MessageBoxTest::hookAnswersInsteadOfTheBox_data()
{
    QTest::addColumn<bool>("question");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("result");
    QTest::newRow("question answered Yes") << true << true << true;
    QTest::newRow("question answered No") << true << false << false;
    // A message that only tells has no Yes to give, whatever the hook says.
    QTest::newRow("message, hook says Yes") << false << true << false;
    QTest::newRow("message, hook says No") << false << false << false;
}

void MessageBoxTest::hookAnswersInsteadOfTheBox()
{
    QFETCH(bool, question);
    QFETCH(bool, answer);
    QFETCH(bool, result);
    QList<BoxMessage> seen;
    velk::ui::setMessageBoxHook([&](const BoxMessage& message) {
        seen.append(message);
        return answer;
    });
    const BoxMessage message {QStringLiteral("Velk - Test"), QStringLiteral("Go on?"), BoxIcon::Question, question};
    QCOMPARE(velk::ui::showMessageBox(nullptr, message), result);
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen[0].title, message.title);
    QCOMPARE(seen[0].text, message.text);
    QCOMPARE(seen[0].icon, message.icon);
    QCOMPARE(seen[0].question, question);
    QVERIFY(!QApplication::activeModalWidget());
}

void MessageBoxTest::questionShowsYesAndNoWithNoTheDefault_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("result");
    QTest::newRow("Enter takes the default") << int(Qt::Key_Return) << false;
    QTest::newRow("Y answers Yes") << int(Qt::Key_Y) << true;
    QTest::newRow("Escape answers No") << int(Qt::Key_Escape) << false;
}

void MessageBoxTest::questionShowsYesAndNoWithNoTheDefault()
{
    QFETCH(int, key);
    QFETCH(bool, result);
    bool checked = false;
    whenTheBoxIsUp([&](QMessageBox& box) {
        checked = box.windowTitle() == QStringLiteral("Velk") && box.text() == QStringLiteral("Delete it?")
            && box.icon() == QMessageBox::Question && box.standardButtons() == (QMessageBox::Yes | QMessageBox::No)
            && box.defaultButton() == box.button(QMessageBox::No);
        QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key));
    });
    QCOMPARE(velk::ui::showMessageBox(nullptr,
                                      {QStringLiteral("Velk"), QStringLiteral("Delete it?"), BoxIcon::Question, true}),
             result);
    QVERIFY(checked);
}

void MessageBoxTest::messageShowsOk()
{
    bool checked = false;
    whenTheBoxIsUp([&](QMessageBox& box) {
        checked = box.text() == QStringLiteral("The disk is full.") && box.icon() == QMessageBox::Warning
            && box.standardButtons() == QMessageBox::Ok;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    QCOMPARE(velk::ui::showMessageBox(
                 nullptr, {QStringLiteral("Velk"), QStringLiteral("The disk is full."), BoxIcon::Warning, false}),
             false);
    QVERIFY(checked);
}

QTEST_MAIN(MessageBoxTest)
#include "MessageBoxTest.moc"
