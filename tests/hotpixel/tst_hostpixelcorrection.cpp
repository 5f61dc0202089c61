#include "hostpixelcorrection.h"
#include "testutils.h"

#include <QTest>

// A 6 x 6 frame whose pixels of one Bayer colour (even x, even y) are 40 and
// all others 200; the listed pixels are hot (250), the first one is checked.
class TestHostPixelCorrection : public QObject
{
    Q_OBJECT

private slots:
    void replacesBySameColourNeighbours_data();
    void replacesBySameColourNeighbours();
};

void TestHostPixelCorrection::replacesBySameColourNeighbours_data()
{
    QTest::addColumn<bool>("bayer");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QVector<QPoint>>("listed");
    QTest::addColumn<int>("expected");

    QTest::newRow("mono: the eight around") << false << true << QVector<QPoint>{{2, 2}} << 200;
    QTest::newRow("bayer: two steps away") << true << true << QVector<QPoint>{{2, 2}} << 40;
    QTest::newRow("bayer corner") << true << true << QVector<QPoint>{{0, 0}} << 40;
    QTest::newRow("listed neighbour left out")
        << true << true << QVector<QPoint>{{2, 2}, {4, 2}} << 40;
    QTest::newRow("correction off") << true << false << QVector<QPoint>{{2, 2}} << 250;
}

void TestHostPixelCorrection::replacesBySameColourNeighbours()
{
    QFETCH(bool, bayer);
    QFETCH(bool, enabled);
    QFETCH(QVector<QPoint>, listed);
    QFETCH(int, expected);

    QImage frame = TestUtils::greyFrame(6, 6, 200);
    for (int i = 0; i < 9; ++i)
        frame.setPixel(2 * (i % 3), 2 * (i / 3), 40);
    for (QPoint p : listed)
        frame.setPixel(p, 250);
    const QImage before = frame.copy();

    HostPixelCorrection correction;
    correction.setBayer(bayer);
    correction.setEnabled(enabled);
    correction.setPositions(listed);
    const QImage shown = correction.apply(frame);
    // Later frames go into the kept buffers, never into one still shown.
    for (int i = 0; i < 2; ++i)
        correction.apply(TestUtils::greyFrame(6, 6, 0));
    QCOMPARE(shown.pixelIndex(listed.first()), expected);
    // The camera's buffer is never written.
    QCOMPARE(frame, before);
}

QTEST_MAIN(TestHostPixelCorrection)
#include "tst_hostpixelcorrection.moc"
