#include "averagedframewriter.h"

#include <QCoreApplication>
#include <QSaveFile>

#include <algorithm>

#include <stdexcept>
#include <vector>

namespace {

// Sums of more frames than this no longer fit a 16-bit sample.
constexpr int mostFrames = 65535 / 255;

std::runtime_error failure(const char* text, const QString& detail)
{
    return std::runtime_error(
        QCoreApplication::translate("AveragedFrameWriter", text).arg(detail).toStdString());
}

QByteArray header(const QVector<QImage>& frames, const CaptureRecord& record)
{
    const QImage& first = frames.first();
    const char* mode = record.mode == CaptureRecord::Mode::HotPixels
                           ? "dark frame, sensor covered"
                           : "flat frame, sensor evenly lit";
    return QByteArrayLiteral("P5\n# Kivo Speckwright averaged ") + mode + "\n# exposure_ms " +
           QByteArray::number(record.exposureMs, 'f', 3) + "\n# gain " +
           QByteArray::number(record.gain) + "\n# frames " + QByteArray::number(frames.size()) +
           "\n# samples are sums over the frames: mean = sample / frames\n" +
           QByteArray::number(first.width()) + ' ' + QByteArray::number(first.height()) + '\n' +
           QByteArray::number(255 * frames.size()) + '\n';
}

} // namespace

void AveragedFrameWriter::write(const QString& path, const QVector<QImage>& frames,
                                const CaptureRecord& record)
{
    if (frames.isEmpty() || frames.size() > mostFrames)
        throw failure(
            QT_TRANSLATE_NOOP("AveragedFrameWriter", "Cannot save %1 frames as one 16-bit image."),
            QString::number(frames.size()));
    const QImage& first = frames.first();
    for (const QImage& frame : frames) {
        if (frame.size() != first.size() || frame.format() != QImage::Format_Indexed8)
            throw failure(QT_TRANSLATE_NOOP("AveragedFrameWriter",
                                            "The frames of %1 differ in size or format."),
                          path);
    }

    const int width = first.width();
    QByteArray samples(2 * width * first.height(), Qt::Uninitialized);
    std::vector<uint16_t> sums(static_cast<size_t>(width));
    auto* out = reinterpret_cast<uchar*>(samples.data());
    for (int y = 0; y < first.height(); ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        for (const QImage& frame : frames) {
            const uchar* line = frame.constScanLine(y);
            for (int x = 0; x < width; ++x)
                sums[size_t(x)] += line[x];
        }
        // PGM samples wider than a byte are big-endian.
        for (const uint16_t sum : sums) {
            *out++ = uchar(sum >> 8);
            *out++ = uchar(sum & 0xFF);
        }
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(header(frames, record)) < 0 ||
        file.write(samples) < 0 || !file.commit())
        throw failure(QT_TRANSLATE_NOOP("AveragedFrameWriter", "Could not write %1."),
                      path + QStringLiteral(": ") + file.errorString());
}
