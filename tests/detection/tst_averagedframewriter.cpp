#include "averagedframewriter.h"
#include "testutils.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <stdexcept>

class TestAveragedFrameWriter : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void writesSumsWithSettings()
    {
        QImage first = TestUtils::greyFrame(3, 2, 7);
        QImage second = TestUtils::greyFrame(3, 2, 200);
        first.scanLine(1)[2] = second.scanLine(1)[2] = 255;
        const QString path = dir.filePath(QStringLiteral("dark.pgm"));

        AveragedFrameWriter::write(path, {first, second},
                                   {CaptureRecord::Mode::HotPixels, 40, 12, 2});

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        // Big-endian sums: 207 five times, then 510.
        QCOMPARE(file.readAll(),
                 QByteArray("P5\n"
                            "# Kivo Speckwright averaged dark frame, sensor covered\n"
                            "# exposure_ms 40.000\n"
                            "# gain 12\n"
                            "# frames 2\n"
                            "# samples are sums over the frames: mean = sample / frames\n"
                            "3 2\n"
                            "510\n") +
                     QByteArray::fromHex("00cf00cf00cf00cf00cf01fe"));
    }

    void failures_data()
    {
        QTest::addColumn<int>("frames");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("text");

        QTest::newRow("no frames") << 0 << "a.pgm"
                                   << "Cannot save 0 frames as one 16-bit image.";
        QTest::newRow("sums beyond 16 bits") << 258 << "b.pgm"
                                             << "Cannot save 258 frames as one 16-bit image.";
        QTest::newRow("missing folder") << 1 << "missing/c.pgm"
                                        << "Could not write";
    }

    void failures()
    {
        QFETCH(int, frames);
        QFETCH(QString, file);
        QFETCH(QString, text);

        try {
            AveragedFrameWriter::write(dir.filePath(file),
                                       QVector<QImage>(frames, TestUtils::greyFrame(2, 2)), {});
            QFAIL("written");
        } catch (const std::runtime_error& error) {
            QVERIFY2(QString::fromLocal8Bit(error.what()).startsWith(text), error.what());
        }
        QVERIFY(!QFile::exists(dir.filePath(file)));
    }
};

QTEST_GUILESS_MAIN(TestAveragedFrameWriter)
#include "tst_averagedframewriter.moc"
