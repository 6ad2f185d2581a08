#include "ui/Fonts.h"
#include "ui/ToolbarPictures.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QXmlStreamReader>
#include <QtTest>

#include <set>

using namespace velk::ui;

class FontsAndPicturesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void namesResolveToInstalledFonts_data();
    void namesResolveToInstalledFonts();
    void toolbarPicturesAreDrawn();
    void toolbarPicturesDiffer();
    void indexOutsideListIsNull();
    void applicationIcon();
};

void FontsAndPicturesTest::initTestCase()
{
    installFontSubstitutions();
    installFontSubstitutions();
}

void FontsAndPicturesTest::namesResolveToInstalledFonts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("pitch glyphs") << QString::fromLatin1(kVelkFont) << QString::fromLatin1(kVelkFontStandIn);
    QTest::newRow("windows") << QString::fromLatin1(kBookAntiqua) << QString::fromLatin1(kBookAntiquaStandIn);
}

void FontsAndPicturesTest::namesResolveToInstalledFonts()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    // The package depends on both stand-ins (fonts-texgyre, fonts-symbola); without them the windows draw in
    // whatever font is at hand, so a machine that lacks one fails here.
    QVERIFY2(QFontDatabase::families().contains(expected), qPrintable(expected + QStringLiteral(" is not installed")));
    // Installing twice leaves one entry.
    QCOMPARE(QFont::substitutes(name).filter(expected, Qt::CaseInsensitive).size(), 1);
    QFont font(name);
    font.setPointSize(16);
    QCOMPARE(QFontInfo(font).family(), expected);
}

void FontsAndPicturesTest::toolbarPicturesAreDrawn()
{
    for (int index = 1; index <= kToolbarPictureCount; ++index) {
        const QIcon icon = toolbarPicture(index);
        QVERIFY2(!icon.isNull(), qPrintable(QString::number(index)));
        for (int size : {16, 24, 32}) {
            const QImage image = icon.pixmap(size, size).toImage();
            QCOMPARE(image.size(), QSize(size, size));
            int inked = 0;
            for (int y = 0; y < size; ++y) {
                for (int x = 0; x < size; ++x) {
                    inked += qAlpha(image.pixel(x, y)) > 128 ? 1 : 0;
                }
            }
            // Something readable: neither an empty square nor a filled one, and the corners stay clear.
            QVERIFY2(inked > size * size / 20, qPrintable(QString::number(index)));
            QVERIFY2(inked < size * size * 9 / 10, qPrintable(QString::number(index)));
            QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        }
    }
}

void FontsAndPicturesTest::toolbarPicturesDiffer()
{
    std::set<QByteArray> seen;
    for (int index = 1; index <= kToolbarPictureCount; ++index) {
        const QImage image = toolbarPicture(index).pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
        const QByteArray bytes(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
        QVERIFY2(seen.insert(bytes).second, qPrintable(QString::number(index)));
    }
}

void FontsAndPicturesTest::indexOutsideListIsNull()
{
    QVERIFY(toolbarPicture(0).isNull());
    QVERIFY(toolbarPicture(kToolbarPictureCount + 1).isNull());
}

void FontsAndPicturesTest::applicationIcon()
{
    QVERIFY(!velk::ui::applicationIcon().isNull());
    QVERIFY(!velk::ui::applicationIcon().pixmap(256, 256).isNull());
    const QString svg = applicationIconSvg();
    QXmlStreamReader reader(svg);
    int ellipses = 0;
    int lines = 0;
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement) {
            ellipses += reader.name() == QStringLiteral("ellipse") ? 1 : 0;
            lines += reader.name() == QStringLiteral("line") ? 1 : 0;
        }
    }
    QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));
    QCOMPARE(ellipses, 1);
    QCOMPARE(lines, 6);
}

QTEST_MAIN(FontsAndPicturesTest)
#include "FontsAndPicturesTest.moc"
