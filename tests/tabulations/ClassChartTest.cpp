#include "tabulations/ClassChart.h"

#include "ui/Fonts.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace
{

const QRgb kAbove = qRgb(0x4F, 0x7C, 0x94);
const QRgb kBelow = qRgb(0xB9, 0xC8, 0xA6);

std::vector<std::pair<QString, double>> classes(const std::vector<double>& percents)
{
    static const char* const glyphs[] = {"C", "C♯", "D", "E♭", "E", "F", "F♯", "G", "A♭", "A", "B♭", "B"};
    std::vector<std::pair<QString, double>> result;
    for (std::size_t i = 0; i < percents.size(); ++i) {
        result.emplace_back(QString::fromUtf8(glyphs[i % 12]), percents[i]);
    }
    return result;
}

QImage render(velk::tabulations::ClassChart& chart, QSize size)
{
    chart.resize(size);
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    chart.render(&image);
    return image;
}

int count(const QImage& image, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            n += (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF) ? 1 : 0;
        }
    }
    return n;
}

} // namespace

class ClassChartTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void scaleReachesTheLargestValue();
    void rendersBarsInTwoColours();
    void clearedAndOddValuesStillRender();
};

void ClassChartTest::initTestCase()
{
    velk::ui::installFontSubstitutions();
}

void ClassChartTest::scaleReachesTheLargestValue()
{
    velk::tabulations::ClassChart chart;
    QCOMPARE(chart.sizeHint(), QSize(420, 260));
    QCOMPARE(chart.scaleTop(), 20.0);
    chart.setClasses(classes({25, 6.2, 68.8, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    QCOMPARE(chart.scaleTop(), 70.0);
    chart.setClasses(classes({8.3, 8.3, 8.3, 8.3, 8.3, 8.3, 8.3, 8.3, 8.3, 8.3, 8.3, 8.7}));
    QCOMPARE(chart.scaleTop(), 20.0);
    chart.setClasses(classes({100, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    QCOMPARE(chart.scaleTop(), 100.0);
    chart.clear();
    QVERIFY(chart.classes().empty());
    QCOMPARE(chart.scaleTop(), 20.0);
}

void ClassChartTest::rendersBarsInTwoColours()
{
    velk::tabulations::ClassChart chart;
    chart.setClasses(classes({25, 6.2, 68.8, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    const QImage image = render(chart, chart.sizeHint());
    QVERIFY(!image.isNull());
    // Three bars, one of them below the even spread and two above it.
    QVERIFY(count(image, kAbove) > 500);
    QVERIFY(count(image, kBelow) > 20);

    chart.setClasses(classes({2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 78}));
    const QImage second = render(chart, QSize(300, 200));
    QVERIFY(count(second, kAbove) > 100);
    QVERIFY(count(second, kBelow) > 50);
    QVERIFY(second != render(chart, QSize(300, 200)).mirrored(true, false));
}

void ClassChartTest::clearedAndOddValuesStillRender()
{
    velk::tabulations::ClassChart chart;
    const QImage empty = render(chart, QSize(420, 260));
    QCOMPARE(count(empty, kAbove), 0);
    QCOMPARE(count(empty, kBelow), 0);
    // Axis, grid and the dashed even-spread line are drawn: the image is not one flat colour.
    QVERIFY(count(empty, empty.pixel(0, 0)) < empty.width() * empty.height());

    chart.setClasses(
        classes({-5, std::numeric_limits<double>::quiet_NaN(), 250, std::numeric_limits<double>::infinity()}));
    QCOMPARE(chart.scaleTop(), 100.0);
    QVERIFY(!render(chart, QSize(40, 30)).isNull());
    QVERIFY(count(render(chart, QSize(420, 260)), kAbove) > 0);
}

QTEST_MAIN(ClassChartTest)
#include "ClassChartTest.moc"
