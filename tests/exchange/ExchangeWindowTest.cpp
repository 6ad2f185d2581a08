#include "exchange/ExchangeCommands.h"
#include "melody/frmFindByMelody.h"
#include "search/frmFindBySubject.h"
#include "tests/movement/WindowFixture.h"

#include <QComboBox>
#include <QMenu>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>

using namespace velk::test;

namespace
{

// Runs a reader program on a file and returns its standard output; empty when it failed.
QString readBack(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

bool validMusicXml(const QString& file)
{
    QProcess process;
    process.start(q("xmllint"),
                  {q("--noout"), q("--nonet"), q("--schema"), q(VELK_TEST_DATA "/musicxml/musicxml.xsd"), file});
    return process.waitForFinished(60000) && process.exitCode() == 0;
}

} // namespace

/// The windows' export and print commands, reached by keyboard as a user reaches them.
class ExchangeWindowTest : public QObject, protected velk::test::WindowFixture
{
    Q_OBJECT

private slots:
    void init()
    {
        setUp();
        m_asked.clear();
        m_prints = 0;
        velk::exchange::setSaveFileHook([this](const QString& caption, const QString&) {
            m_asked.append(caption);
            return m_answerFile;
        });
        velk::exchange::setPrintDialogHook([this](QPrinter& printer) {
            ++m_prints;
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(m_answerFile);
            printer.setPrintRange(m_printRange);
            return true;
        });
    }

    void cleanup()
    {
        velk::exchange::setSaveFileHook(nullptr);
        velk::exchange::setPrintDialogHook(nullptr);
        tearDown();
    }

    void theFileMenuExportsByKeyboard_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("caption");
        QTest::newRow("MusicXML") << int(Qt::Key_M) << q("Export as MusicXML");
        QTest::newRow("CSV") << int(Qt::Key_C) << q("Export as CSV");
    }

    void theFileMenuExportsByKeyboard()
    {
        QFETCH(int, item);
        QFETCH(QString, caption);
        add(1, 1, "");
        add(2, 1, "");
        QVERIFY(open());
        m_answerFile = QString::fromStdString((m_catalogue->folder() / "out").string());
        focus("dbgMovements");

        press(Qt::Key_I, Qt::AltModifier);
        QTRY_VERIFY(QApplication::activePopupWidget() != nullptr);
        QTest::keyClick(QApplication::activePopupWidget(), static_cast<Qt::Key>(item));

        QTRY_COMPARE(m_asked, QStringList {caption});
        QVERIFY(m_messages.empty());
        QVERIFY(QFile::exists(m_answerFile));
        if (item == Qt::Key_M) {
            QVERIFY(validMusicXml(m_answerFile));
        } else {
            const QString records = readBack(q(VELK_CSV_READER), {m_answerFile});
            QCOMPARE(records.count(QLatin1Char('\n')), 3);
        }
    }

    void ctrlPPrintsOnceWhateverHasTheFocus_data()
    {
        QTest::addColumn<int>("setup");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<bool>("workOnly");
        QTest::newRow("grid, all") << int(Browsing) << q("dbgMovements") << false;
        QTest::newRow("tab bar, the work") << int(Browsing) << q("tsMovement") << true;
        QTest::newRow("text box during an edit") << int(Editing) << q("txtKTN") << false;
        QTest::newRow("rich-text box during an edit") << int(Editing) << q("txtDescription") << true;
        QTest::newRow("pitch entry box") << int(PitchEntry) << q("txtPitch") << false;
    }

    void ctrlPPrintsOnceWhateverHasTheFocus()
    {
        QFETCH(int, setup);
        QFETCH(QString, focus);
        QFETCH(bool, workOnly);
        add(1, 1, "The opening chorus");
        add(2, 1, "A later aria");
        QVERIFY(open());
        QVERIFY(prepare(static_cast<Setup>(setup)));
        this->focus(focus.toLatin1().constData());
        m_answerFile = QString::fromStdString((m_catalogue->folder() / "printed.pdf").string());
        m_printRange = workOnly ? QPrinter::Selection : QPrinter::AllPages;
        KeyPressCounter reached;
        QApplication::focusWidget()->installEventFilter(&reached);

        press(Qt::Key_P, Qt::ControlModifier);

        QCOMPARE(m_prints, 1);
        QCOMPARE(reached.presses, 0);
        QVERIFY(m_messages.empty());
        const QString text = readBack(q("pdftotext"), {m_answerFile, q("-")});
        QVERIFY2(text.contains(q("KTN 1 · Movement 1")), qPrintable(text));
        QVERIFY2(text.contains(q("The opening chorus")), qPrintable(text));
        QCOMPARE(text.contains(q("A later aria")), !workOnly);
        QApplication::focusWidget()->removeEventFilter(&reached);
    }

    void theSearchWindowsExportAndPrintTheirResults()
    {
        add(1, 1, "First");
        add(2, 1, "Second");
        auto c = db();
        c.execute("update tblMovement set Sub1 = 'Grief' where iKTN = 2");
        c.close();
        m_answerFile = QString::fromStdString((m_catalogue->folder() / "results.csv").string());

        velk::search::frmFindBySubject subjects;
        subjects.setConnectionString(m_catalogue->connectionString());
        subjects.load();
        subjects.findChild<QAction*>(q("mnuExportResults"))->trigger();
        QCOMPARE(int(m_messages.size()), 1); // nothing searched yet
        QVERIFY(!QFile::exists(m_answerFile));
        subjects.findChild<QComboBox*>(q("cboSearch"))->setEditText(q("Grief"));
        subjects.search();
        subjects.findChild<QAction*>(q("mnuExportResults"))->trigger();
        QString records = readBack(q(VELK_CSV_READER), {m_answerFile});
        QCOMPARE(records.count(QLatin1Char('\n')), 2);
        QVERIFY(records.contains(QString::fromLatin1(QByteArray("Grief").toHex())));

        m_answerFile = QString::fromStdString((m_catalogue->folder() / "results.pdf").string());
        // Ctrl+P in the subject box prints the results, once.
        subjects.show();
        QVERIFY(QTest::qWaitForWindowActive(&subjects));
        subjects.findChild<QComboBox*>(q("cboSearch"))->setFocus();
        QTRY_VERIFY(QApplication::focusWidget() != nullptr);
        press(Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(m_prints, 1);
        subjects.hide();
        QString text = readBack(q("pdftotext"), {m_answerFile, q("-")});
        QVERIFY2(text.contains(q("KTN 2 · Movement 1")) && !text.contains(q("KTN 1 · Movement 1")), qPrintable(text));

        velk::melody::frmFindByMelody melody;
        melody.setConnectionString(m_catalogue->connectionString());
        melody.load();
        melody.findChild<QLineEdit*>(q("txtMelody"))->setText(q("c e g*"));
        melody.find();
        m_answerFile = QString::fromStdString((m_catalogue->folder() / "melody.csv").string());
        melody.findChild<QPushButton*>(q("cmdExport"))->click();
        records = readBack(q(VELK_CSV_READER), {m_answerFile});
        QCOMPARE(records.count(QLatin1Char('\n')), 3);
        m_answerFile = QString::fromStdString((m_catalogue->folder() / "melody.pdf").string());
        melody.findChild<QPushButton*>(q("cmdPrint"))->click();
        QCOMPARE(m_prints, 2);
        text = readBack(q("pdftotext"), {m_answerFile, q("-")});
        QVERIFY2(text.contains(q("search results")) && text.contains(q("KTN 1 · Movement 1")), qPrintable(text));
    }

private:
    QStringList m_asked;
    QString m_answerFile;
    QPrinter::PrintRange m_printRange = QPrinter::AllPages;
    int m_prints = 0;
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    velk::ui::setupApplication();
    ExchangeWindowTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "ExchangeWindowTest.moc"
