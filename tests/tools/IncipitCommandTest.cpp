// velk-catalogue incipit: a movement's staff written as SVG or PNG with the window's drawing, and clear messages
// for what cannot be done.

#include "tests/support/TempCatalogue.h"
#include "tests/support/ToolRun.h"

#include <QImage>
#include <QSvgRenderer>
#include <QtTest>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using velk::test::runProgram;
using velk::test::ToolRun;

class IncipitCommandTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void pngHasTheStaffsSizeAndFollowsNotes();
    void svgParsesAndHasTheSameSize();
    void refusals_data();
    void refusals();

private:
    ToolRun incipit(const std::vector<std::string>& args)
    {
        std::vector<std::string> all {"incipit", m_catalogue->file()};
        all.insert(all.end(), args.begin(), args.end());
        return runProgram(VELK_CATALOGUE_TOOL, all);
    }
    std::string out(const char* name) const
    {
        return (m_catalogue->folder() / name).string();
    }

    std::unique_ptr<velk::test::TempCatalogue> m_catalogue;
    std::string m_id;
};

void IncipitCommandTest::init()
{
    m_catalogue = std::make_unique<velk::test::TempCatalogue>();
    const auto id = m_catalogue->addMovement(7);
    auto c = m_catalogue->writer();
    for (int i = 0; i < 24; ++i) {
        c.execute("insert into tblMovementPitchJoin (iMovementID, iPitchID) "
                  "select ?, iPitchID from tblPitchLookup where txtPitch = ?",
                  {id,
                   std::string(i % 3 == 0       ? "f*"
                                   : i % 3 == 1 ? "B//"
                                                : "c")});
    }
    m_id = std::to_string(id);
}

void IncipitCommandTest::pngHasTheStaffsSizeAndFollowsNotes()
{
    const ToolRun all = incipit({m_id, "--out", out("all.png")});
    QCOMPARE(all.exitCode, 0);
    QVERIFY(all.out.find("24 notes") != std::string::npos);
    const ToolRun four = incipit({m_id, "--out=" + out("four.PNG"), "--notes", "4"});
    QCOMPARE(four.exitCode, 0);
    const QImage whole(QString::fromStdString(out("all.png")));
    const QImage first(QString::fromStdString(out("four.PNG")));
    QVERIFY(!whole.isNull() && !first.isNull());
    QCOMPARE(first.height(), whole.height());
    // Twenty notes fewer: twenty columns of equal width narrower.
    const double column = (whole.width() - first.width()) / 20.0;
    QVERIFY2(column > 20 && column < 60, qPrintable(QString::number(column)));
    QVERIFY(first.width() > 4 * column);
    // Drawn in black on white.
    QCOMPARE(first.pixelColor(0, 0), QColor(Qt::white));
    int ink = 0;
    for (int y = 0; y < first.height(); ++y) {
        for (int x = 0; x < first.width(); ++x) {
            ink += qGray(first.pixel(x, y)) < 100 ? 1 : 0;
        }
    }
    QVERIFY(ink > 200);
}

void IncipitCommandTest::svgParsesAndHasTheSameSize()
{
    QCOMPARE(incipit({m_id, "--out", out("staff.svg")}).exitCode, 0);
    QCOMPARE(incipit({m_id, "--out", out("staff.png")}).exitCode, 0);
    QSvgRenderer svg(QString::fromStdString(out("staff.svg")));
    QVERIFY(svg.isValid());
    const QImage png(QString::fromStdString(out("staff.png")));
    QCOMPARE(svg.viewBox().size(), png.size());
}

void IncipitCommandTest::refusals_data()
{
    QTest::addColumn<QString>("args"); // after FILE, separated by blanks; {id} is the movement's id
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    const auto row = [](const char* name, const char* args, int exitCode, const char* message) {
        QTest::newRow(name) << QString::fromLatin1(args) << exitCode << QString::fromLatin1(message);
    };
    row("no such movement", "999 --out x.png", 1, "has no movement with id 999");
    row("another extension", "{id} --out x.pdf", 2, "must end in .svg or .png");
    row("no extension", "{id} --out x", 2, "must end in .svg or .png");
    row("no output", "{id}", 2, "--out");
    row("no notes", "{id} --out x.png --notes 0", 2, "--notes");
    row("not an id", "seven --out x.png", 2, "ID");
    row("a folder that is not there", "{id} --out missing/x.svg", 1, "Could not write the incipit to");
}

void IncipitCommandTest::refusals()
{
    QFETCH(QString, args);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    std::vector<std::string> given;
    for (QString arg : args.split(QLatin1Char(' '))) {
        arg.replace(QStringLiteral("{id}"), QString::fromStdString(m_id));
        if (arg.startsWith(QStringLiteral("x.")) || arg.startsWith(QStringLiteral("missing/"))
            || arg == QStringLiteral("x")) {
            arg = QString::fromStdString(out(arg.toUtf8().constData()));
        }
        given.push_back(arg.toStdString());
    }
    const ToolRun run = incipit(given);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.find(message.toStdString()) != std::string::npos, run.err.c_str());
    for (const char* name : {"x.png", "x.pdf", "x", "missing"}) {
        QVERIFY2(!fs::exists(out(name)), name);
    }
}

QTEST_GUILESS_MAIN(IncipitCommandTest)
#include "IncipitCommandTest.moc"
