#include "matrix.h"

#include <QTest>

#include <stdexcept>

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
    void noSize_data()
    {
        QTest::addColumn<uint>("rows");
        QTest::addColumn<uint>("columns");
        QTest::newRow("no rows") << 0u << 3u;
        QTest::newRow("no columns") << 3u << 0u;
    }

    void noSize()
    {
        QFETCH(uint, rows);
        QFETCH(uint, columns);
        try {
            Matrix<uint32_t> m(rows, columns);
            QFAIL("a matrix without cells was built");
        } catch (const std::length_error& e) {
            QCOMPARE(QString::fromLatin1(e.what()), QStringLiteral("Matrix has no size"));
        }
    }

    void outOfRange_data()
    {
        QTest::addColumn<uint>("posY");
        QTest::addColumn<uint>("posX");
        QTest::addColumn<bool>("inside");
        QTest::newRow("last cell") << 1u << 2u << true;
        QTest::newRow("row past the end") << 2u << 0u << false;
        QTest::newRow("column past the end") << 0u << 3u << false;
        QTest::newRow("rows and columns swapped") << 2u << 1u << false;
    }

    void outOfRange()
    {
        QFETCH(uint, posY);
        QFETCH(uint, posX);
        QFETCH(bool, inside);
        Numbered m;
        const Matrix<int>& constant = m;
        if (inside) {
            QCOMPARE(m(posY, posX), int(10 * posY + posX));
            QCOMPARE(constant(posY, posX), int(10 * posY + posX));
            return;
        }
        QVERIFY_EXCEPTION_THROWN(constant(posY, posX), Matrix<int>::out_of_range);
        try {
            m(posY, posX) = 1;
            QFAIL("a cell outside the matrix was written");
        } catch (const std::out_of_range& e) {
            QCOMPARE(
                QString::fromLatin1(e.what()),
                QStringLiteral("Matrix<T>::operator() (unsigned posY, unsigned poX) out of range"));
        }
    }

    void iterateRowByRow()
    {
        Numbered m;
        Recorder all;
        m.iterate(static_cast<Matrix<int>::Iterator&>(all));
        QCOMPARE(all.seen, QList<int>({0, 1, 2, 10, 11, 12}));
        Recorder row;
        m.iterateRow(1, row);
        QCOMPARE(row.seen, QList<int>({10, 11, 12}));
        QVERIFY_EXCEPTION_THROWN(m.iterateRow(2, row), Matrix<int>::out_of_range);
    }

    void iterateRowPart_data()
    {
        QTest::addColumn<uint>("posX");
        QTest::addColumn<uint>("count");
        QTest::addColumn<QList<int>>("seen");
        QTest::addColumn<bool>("inside");
        QTest::newRow("middle cell") << 1u << 1u << QList<int>{11} << true;
        QTest::newRow("to the end") << 1u << 2u << QList<int>{11, 12} << true;
        QTest::newRow("nothing after the end") << 3u << 0u << QList<int>() << true;
        QTest::newRow("one past the end") << 1u << 3u << QList<int>() << false;
        QTest::newRow("start past the end") << 4u << 0u << QList<int>() << false;
    }

    void iterateRowPart()
    {
        QFETCH(uint, posX);
        QFETCH(uint, count);
        QFETCH(QList<int>, seen);
        QFETCH(bool, inside);
        Numbered m;
        Recorder recorder;
        if (inside)
            m.iterateRow(1, posX, count, recorder);
        else
            QVERIFY_EXCEPTION_THROWN(m.iterateRow(1, posX, count, recorder),
                                     Matrix<int>::out_of_range);
        QCOMPARE(recorder.seen, seen);
    }
};

QTEST_GUILESS_MAIN(TestMatrix)
#include "tst_matrix.moc"
