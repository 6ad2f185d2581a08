#include "ui/MusicText.h"
#include "ui/FlexGrid.h"
#include "ui/Fonts.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

using namespace velk::ui;

namespace
{

const QString kDoubleSharp = QString::fromUtf8("\xF0\x9D\x84\xAA");
const QString kDoubleFlat = QString::fromUtf8("\xF0\x9D\x84\xAB");
const QString kSharp = QString::fromUtf8("\xE2\x99\xAF");
const QString kFlat = QString::fromUtf8("\xE2\x99\xAD");

// The box of the dark pixels of an image right of x (the accidental after a letter).
QRect inkRightOf(const QImage& image, int x)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int i = x; i < image.width(); ++i) {
            if (qGray(image.pixel(i, y)) < 140) {
                box = box.united(QRect(i, y, 1, 1));
            }
        }
    }
    return box;
}

// A glyph text drawn on white, and where its letter ends.
QImage drawn(const QString& text, const QFont& font, int* letterEnd)
{
    QImage image(160, 80, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(Qt::black);
    drawMusicText(painter, QRectF(4, 0, 150, 80), Qt::AlignLeft | Qt::AlignVCenter, text, font);
    painter.end();
    *letterEnd = 4 + static_cast<int>(QFontMetricsF(font).horizontalAdvance(text.left(1)));
    return image;
}

QImage shown(QWidget& widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class MusicTextTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        installFontSubstitutions();
    }

    void doublesAreDrawnAsLegibleAsSinglesAtGridSize_data();
    void doublesAreDrawnAsLegibleAsSinglesAtGridSize();
    void theGridDrawsTheDoublesLegibly();
    void aLabelDrawsTheDoublesLegiblyAndKeepsItsText();
    void otherTextIsDrawnAsUsual();
};

void MusicTextTest::doublesAreDrawnAsLegibleAsSinglesAtGridSize_data()
{
    QTest::addColumn<QString>("dbl");
    QTest::addColumn<QString>("single");
    QTest::addColumn<double>("heightRatio"); // the least height of the double against the single
    QTest::addColumn<double>("pointSize");
    QTest::newRow("double sharp 16 pt") << kDoubleSharp << kSharp << 0.4 << 16.0;
    QTest::newRow("double flat 16 pt") << kDoubleFlat << kFlat << 0.85 << 16.0;
    QTest::newRow("double sharp 11 pt") << kDoubleSharp << kSharp << 0.4 << 11.0;
    QTest::newRow("double flat 24 pt") << kDoubleFlat << kFlat << 0.85 << 24.0;
}

void MusicTextTest::doublesAreDrawnAsLegibleAsSinglesAtGridSize()
{
    QFETCH(QString, dbl);
    QFETCH(QString, single);
    QFETCH(double, heightRatio);
    QFETCH(double, pointSize);
    const QFont font = velkFont(pointSize);
    int letterEnd = 0;
    const QRect letter = inkRightOf(drawn(QStringLiteral("c"), font, &letterEnd), 0);
    const QRect doubleInk = inkRightOf(drawn(QStringLiteral("c") + dbl, font, &letterEnd), letter.right() + 1);
    const QRect singleInk = inkRightOf(drawn(QStringLiteral("c") + single, font, &letterEnd), letter.right() + 1);
    QVERIFY(!singleInk.isEmpty());
    QVERIFY2(doubleInk.height() >= heightRatio * singleInk.height(),
             qPrintable(QStringLiteral("%1 px against %2 px").arg(doubleInk.height()).arg(singleInk.height())));
    QVERIFY(doubleInk.width() >= 0.5 * singleInk.width());
    // Beside the letter, at the single's height: the double overlaps the single's rows.
    QVERIFY(doubleInk.top() < singleInk.bottom() && doubleInk.bottom() > singleInk.top());
}

void MusicTextTest::theGridDrawsTheDoublesLegibly()
{
    FlexGrid grid;
    grid.setCols(1);
    grid.addItem(QStringLiteral("c") + kSharp);
    grid.addItem(QStringLiteral("c") + kDoubleSharp);
    grid.addItem(QStringLiteral("c") + kDoubleFlat);
    grid.setColWidth(0, 1800);
    for (int row = 0; row < 3; ++row) {
        grid.setCurrentCell(row, 0);
        grid.setCellFont(QString::fromLatin1(kVelkFont), 16, false);
    }
    grid.setCurrentCell(0, 0);
    grid.resize(300, 200);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    const QImage image = shown(*grid.viewport());
    const int letterEnd = grid.visualRect(grid.model()->index(0, 0)).left() + 4
        + static_cast<int>(QFontMetricsF(velkFont(16)).horizontalAdvance(QStringLiteral("c")));
    auto symbolInk = [&](int row) {
        const QRect cell = grid.visualRect(grid.model()->index(row, 0));
        return inkRightOf(image.copy(cell.adjusted(0, 1, 0, -1)), letterEnd - cell.left());
    };
    // Row 0 is current (drawn highlighted): measure the double sharp against the sharp drawn in a plain row.
    grid.setCurrentCell(2, 0);
    const QImage again = shown(*grid.viewport());
    const QRect sharpCell = grid.visualRect(grid.model()->index(0, 0));
    const QRect sharp = inkRightOf(again.copy(sharpCell.adjusted(0, 1, 0, -1)), letterEnd - sharpCell.left());
    const QRect doubleSharp = symbolInk(1);
    QVERIFY(!sharp.isEmpty());
    QVERIFY2(doubleSharp.height() >= 0.4 * sharp.height(),
             qPrintable(QStringLiteral("%1 px against %2 px").arg(doubleSharp.height()).arg(sharp.height())));
    QCOMPARE(grid.textMatrix(1, 0), QStringLiteral("c") + kDoubleSharp);
}

void MusicTextTest::aLabelDrawsTheDoublesLegiblyAndKeepsItsText()
{
    MusicLabel flat(QStringLiteral("B") + kFlat);
    MusicLabel doubleFlat(QStringLiteral("B") + kDoubleFlat);
    for (MusicLabel* label : {&flat, &doubleFlat}) {
        label->setFont(velkFont(16));
        label->setStyleSheet(QStringLiteral("background: white; color: black"));
        label->adjustSize();
        label->show();
        QVERIFY(QTest::qWaitForWindowExposed(label));
    }
    const int letterEnd = static_cast<int>(QFontMetricsF(velkFont(16)).horizontalAdvance(QStringLiteral("B")));
    const QRect single = inkRightOf(shown(flat), letterEnd);
    const QRect dbl = inkRightOf(shown(doubleFlat), letterEnd);
    QVERIFY(!single.isEmpty());
    QVERIFY2(dbl.height() >= 0.85 * single.height(),
             qPrintable(QStringLiteral("%1 px against %2 px").arg(dbl.height()).arg(single.height())));
    QVERIFY(dbl.top() > 0 && dbl.bottom() < doubleFlat.height() - 1); // not clipped
    QCOMPARE(doubleFlat.text(), QStringLiteral("B") + kDoubleFlat);
}

void MusicTextTest::otherTextIsDrawnAsUsual()
{
    const QFont font = velkFont(16);
    QVERIFY(!hasSmallMusicSymbols(QStringLiteral("f") + kSharp));
    QVERIFY(hasSmallMusicSymbols(QStringLiteral("f") + kDoubleFlat));
    const QString text = QStringLiteral("e") + kFlat;
    QCOMPARE(musicTextSize(text, font).width(), QFontMetricsF(font).horizontalAdvance(text));
}

QTEST_MAIN(MusicTextTest)
#include "MusicTextTest.moc"
