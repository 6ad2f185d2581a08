#include "ui/RichTextBox.h"
#include "rtf/Rtf.h"

#include <QMimeData>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

namespace
{

using velk::rtf::parseRtf;
using velk::ui::RichTextBox;

// Lets the tests hand the box what a paste would.
class PastingBox : public RichTextBox
{
public:
    void paste(const QMimeData& data)
    {
        insertFromMimeData(&data);
    }
};

// Whether the character at a position of the box's text is bold.
bool boldAt(const RichTextBox& box, int position)
{
    QTextCursor cursor(box.document());
    cursor.setPosition(position + 1);
    return cursor.charFormat().fontWeight() >= QFont::Bold;
}

} // namespace

class RichTextBoxTest : public QObject
{
    Q_OBJECT

private slots:
    void showsTextWithBoldWhereBold();
    void showsFontsSizesColoursAndAlignment();
    void textRtfRoundTrips_data();
    void textRtfRoundTrips();
    void editedOnlyAfterTyping();
    void settingContentIsNotUndoable();
    void emptyTextGivesEmptyBox();
    void notRtfShowsAsPlainText();
    void plainTextContent();
    void disabledBoxTakesNoTyping();
    void pastedRichTextKeepsWhatTheModelHolds();
    void pastedRtfIsRead();
};

void RichTextBoxTest::showsTextWithBoldWhereBold()
{
    RichTextBox box;
    box.setTextRtf(R"({\rtf1\ansi plain {\b bold} end\par second \b B\b0 x})");
    QCOMPARE(box.toPlainText(), QStringLiteral("plain bold end\nsecond Bx"));
    QVERIFY(!boldAt(box, 0));
    QVERIFY(boldAt(box, 6));
    QVERIFY(boldAt(box, 9));
    QVERIFY(!boldAt(box, 10));
    QVERIFY(boldAt(box, 22));
    QVERIFY(!boldAt(box, 23));
}

void RichTextBoxTest::showsFontsSizesColoursAndAlignment()
{
    RichTextBox box;
    box.setTextRtf(R"({\rtf1{\fonttbl{\f0\fnil Velk;}}{\colortbl;\red0\green0\blue255;})"
                   R"(\pard\qc\f0\fs32\cf1\i\ul G\u252?\line x\par})");
    const QTextBlock block = box.document()->begin();
    QCOMPARE(block.text(), QString(QStringLiteral("G\u00fc") + QChar(QChar::LineSeparator) + QStringLiteral("x")));
    QCOMPARE(block.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    const QTextCharFormat format = block.begin().fragment().charFormat();
    QCOMPARE(format.property(QTextFormat::FontFamilies).toStringList(), QStringList {QStringLiteral("Velk")});
    QCOMPARE(format.fontPointSize(), 16.0);
    QCOMPARE(format.foreground().color(), QColor(0, 0, 255));
    QVERIFY(format.fontItalic());
    QVERIFY(format.fontUnderline());
}

void RichTextBoxTest::textRtfRoundTrips_data()
{
    QTest::addColumn<QString>("rtf");
    QTest::newRow("formats") << QStringLiteral(R"({\rtf1 a {\b b {\i c}} {\ul d}\par\par e})");
    QTest::newRow("fonts") << QStringLiteral(
        R"({\rtf1{\fonttbl{\f0 Book Antiqua;}{\f1 Velk;}}\f0\fs24 a \f1\fs21 b\plain c})");
    QTest::newRow("colours") << QStringLiteral(
        R"({\rtf1{\colortbl;\red255\green0\blue0;\red0\green0\blue0;}\cf1 red\cf2 black\cf0 auto})");
    QTest::newRow("alignment") << QStringLiteral(R"({\rtf1\qc c\par\qr r\par\pard\ql l\par\pard d})");
    QTest::newRow("nonAscii") << QStringLiteral(
        R"({\rtf1 Gr\u252?\'df \u231?a \u38899?\u27005? \u-10179?\u-8704? \'80})");
    QTest::newRow("breaksAndTabs") << QStringLiteral(R"({\rtf1 a\tab b\line c \{\}\\})");
    QTest::newRow("storedBox") << QStringLiteral(
        "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Book Antiqua;}}\r\n"
        "\\viewkind4\\uc1\\pard\\lang1033\\f0\\fs24 Chorale in \\b G\\b0  major.\\par\r\n}\r\n");
}

void RichTextBoxTest::textRtfRoundTrips()
{
    QFETCH(QString, rtf);
    RichTextBox box;
    box.setTextRtf(rtf.toStdString());
    QCOMPARE(parseRtf(box.textRtf()), parseRtf(rtf.toStdString()));

    // What the box wrote shows the same content again.
    RichTextBox second;
    second.setTextRtf(box.textRtf());
    QCOMPARE(second.textRtf(), box.textRtf());
    QCOMPARE(second.toHtml(), box.toHtml());
}

void RichTextBoxTest::editedOnlyAfterTyping()
{
    RichTextBox box;
    box.show();
    box.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&box));
    box.setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), &box);
    box.setTextRtf(R"({\rtf1 first})");
    QVERIFY(!box.isEdited());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("xy"));
    QVERIFY(box.isEdited());
    QCOMPARE(box.toPlainText(), QStringLiteral("xyfirst"));
    box.markSaved();
    QVERIFY(!box.isEdited());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
    QVERIFY(box.isEdited());
    box.setTextRtf(R"({\rtf1 next})");
    QVERIFY(!box.isEdited());
    box.setPlainTextContent("");
    QVERIFY(!box.isEdited());
}

void RichTextBoxTest::settingContentIsNotUndoable()
{
    RichTextBox box;
    box.setTextRtf(R"({\rtf1 old})");
    box.setTextRtf(R"({\rtf1 new})");
    QVERIFY(!box.document()->isUndoAvailable());
    box.undo();
    QCOMPARE(box.toPlainText(), QStringLiteral("new"));
}

void RichTextBoxTest::emptyTextGivesEmptyBox()
{
    RichTextBox box;
    box.setTextRtf(R"({\rtf1 something})");
    // A Null field reaches the box as the empty text.
    box.setTextRtf(std::string());
    QVERIFY(box.document()->isEmpty());
    QVERIFY(!box.isEdited());
    QVERIFY(velk::rtf::isRtf(box.textRtf()));
    QVERIFY(parseRtf(box.textRtf()).paragraphs.empty());

    box.setTextRtf(R"({\rtf1\ansi\par})");
    QCOMPARE(box.toPlainText(), QString());
}

void RichTextBoxTest::notRtfShowsAsPlainText()
{
    RichTextBox box;
    box.setTextRtf("an old note {not rtf}\r\nsecond line");
    QCOMPARE(box.toPlainText(), QStringLiteral("an old note {not rtf}\nsecond line"));
    QCOMPARE(velk::rtf::plainText(box.textRtf()), std::string("an old note {not rtf}\nsecond line"));
}

void RichTextBoxTest::plainTextContent()
{
    RichTextBox box;
    box.setTextRtf(R"({\rtf1 \b bold})");
    box.setPlainTextContent("line {1}\n\\line 2");
    QCOMPARE(box.toPlainText(), QStringLiteral("line {1}\n\\line 2"));
    QVERIFY(!boldAt(box, 0));
    QCOMPARE(velk::rtf::plainText(box.textRtf()), std::string("line {1}\n\\line 2"));
}

void RichTextBoxTest::disabledBoxTakesNoTyping()
{
    RichTextBox box;
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    box.setTextRtf(R"({\rtf1 fixed})");
    box.setEnabled(false);
    // Each press and release of the two keys is refused.
    for (int i = 0; i < 4; ++i) {
        QTest::ignoreMessage(QtWarningMsg, "Keyboard event not accepted by receiving widget");
    }
    QTest::keyClicks(&box, QStringLiteral("xy"));
    QVERIFY(!box.isEdited());
    QCOMPARE(box.toPlainText(), QStringLiteral("fixed"));
}

void RichTextBoxTest::pastedRichTextKeepsWhatTheModelHolds()
{
    PastingBox box;
    QMimeData data;
    data.setHtml(QStringLiteral("<p><b>bold</b> <span style=\"color:#ff0000\">red</span><img src=\"x.png\"/>"
                                "<sup>sup</sup></p><table><tr><td>c1</td><td>c2</td></tr></table>"));
    data.setText(QStringLiteral("plain"));
    box.paste(data);
    QVERIFY(box.isEdited());
    QVERIFY(!box.toPlainText().contains(QChar::ObjectReplacementCharacter));

    // What the box shows is exactly what it saves.
    const velk::rtf::RtfDocument shown = velk::ui::toRtfDocument(*box.document());
    QCOMPARE(parseRtf(box.textRtf()), shown);
    QCOMPARE(box.document()->begin().text(), QStringLiteral("bold redsup"));
    const auto& runs = shown.paragraphs.at(0).runs;
    QVERIFY(runs.at(0).format.bold);
    QCOMPARE(runs.at(0).text, std::string("bold"));
    const auto red = std::find_if(runs.begin(), runs.end(), [](const auto& run) { return run.text == "red"; });
    QVERIFY(red != runs.end());
    QCOMPARE(red->format.color, std::optional(velk::rtf::Color {255, 0, 0}));
    QCOMPARE(velk::rtf::plainText(shown), std::string("bold redsup\nc1\nc2\n"));
}

void RichTextBoxTest::pastedRtfIsRead()
{
    PastingBox box;
    box.setTextRtf(R"({\rtf1 before})");
    QTextCursor cursor(box.document());
    cursor.movePosition(QTextCursor::End);
    box.setTextCursor(cursor);
    QMimeData data;
    data.setData(QStringLiteral("text/rtf"), QByteArrayLiteral(R"({\rtf1 {\b X}{\pict 0102}})"));
    data.setText(QStringLiteral("not this"));
    box.paste(data);
    QCOMPARE(box.toPlainText(), QStringLiteral("beforeX"));
    QVERIFY(boldAt(box, 6));
}

QTEST_MAIN(RichTextBoxTest)
#include "RichTextBoxTest.moc"
