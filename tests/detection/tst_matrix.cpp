#include "matrix.h"

#include <QTest>

#include <stdexcept>
#include <utility>

namespace {

// Notes the value of every cell it visits.
class Recorder final : public Matrix<int>::Iterator
{
public:
    void visit(int& cell) override { seen << cell; }

    QList<int> seen;
};

// 2 rows and 3 columns holding 10 * row + column.
struct Numbered : Matrix<int>
{
    Numbered()
        : Matrix<int>(2, 3)
    {
        for (uint32_t y = 0; y < rows(); ++y)
            for (uint32_t x = 0; x < columns(); ++x)
                (*this)(y, x) = int(10 * y + x);
    }
};

} // namespace

class TestMatrix : public QObject
{
    Q_OBJECT

private slots:
    void noSize()
    {
        QVERIFY_EXCEPTION_THROWN(Matrix<int>(0, 3), std::length_error);
        QVERIFY_EXCEPTION_THROWN(Matrix<int>(3, 0), std::length_error);
    }

    // A count of -1 reads the one cell, both ways; others walk part of the row.
    void access_data()
    {
        QTest::addColumn<uint>("posY");
        QTest::addColumn<uint>("posX");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("seen");
        QTest::addColumn<bool>("inside");

        QTest::newRow("last cell") << 1u << 2u << -1 << QList<int>{12, 12} << true;
        QTest::newRow("row past the end") << 2u << 0u << -1 << QList<int>() << false;
        QTest::newRow("column past the end") << 0u << 3u << -1 << QList<int>() << false;
        QTest::newRow("middle cell") << 1u << 1u << 1 << QList<int>{11} << true;
        QTest::newRow("to the end") << 1u << 1u << 2 << QList<int>{11, 12} << true;
        QTest::newRow("nothing after the end") << 1u << 3u << 0 << QList<int>() << true;
        QTest::newRow("one past the end") << 1u << 1u << 3 << QList<int>() << false;
        QTest::newRow("start past the end") << 1u << 4u << 0 << QList<int>() << false;
    }

    void access()
    {
        QFETCH(uint, posY);
        QFETCH(uint, posX);
        QFETCH(int, count);
        QFETCH(QList<int>, seen);
        QFETCH(bool, inside);
        Numbered m;
        Recorder recorder;
        const auto act = [&] {
            if (count < 0)
                recorder.seen << std::as_const(m)(posY, posX) << m(posY, posX);
            else
                m.iterateRow(posY, posX, uint(count), recorder);
        };
        if (inside)
            act();
        else
            QVERIFY_EXCEPTION_THROWN(act(), Matrix<int>::out_of_range);
        QCOMPARE(recorder.seen, seen);
    }

    void iterateRowByRow()
    {
        Numbered m;
        Recorder all;
        m.iterate(static_cast<Matrix<int>::Iterator&>(all));
        m.iterateRow(1, all);
        QCOMPARE(all.seen, QList<int>({0, 1, 2, 10, 11, 12, 10, 11, 12}));
        QVERIFY_EXCEPTION_THROWN(m.iterateRow(2, all), Matrix<int>::out_of_range);
    }
};

QTEST_GUILESS_MAIN(TestMatrix)
#include "tst_matrix.moc"
