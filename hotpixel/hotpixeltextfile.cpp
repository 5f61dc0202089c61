#include "hotpixeltextfile.h"

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QTextStream>

#include <stdexcept>

namespace {

// A file device reports a short write (a full disk, a file size limit) as a
// success with fewer bytes; only the next write fails and names the reason.
bool writeAll(QIODevice& device, const QByteArray& bytes)
{
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 count = device.write(bytes.constData() + written, bytes.size() - written);
        if (count <= 0)
            return false;
        written += count;
    }
    return true;
}

} // namespace

void HotpixelTextFile::write(const QString& filename, const QList<Badpixel>& entries)
{
    QByteArray text;
    QTextStream stream(&text, QIODevice::WriteOnly);
    for (const Badpixel& entry : entries) {
        if (entry.isUser())
            stream << entry.x << ' ' << entry.y << " 1\n";
    }
    stream.flush();

    // The old file is replaced only by a completely written new one; an
    // uncommitted QSaveFile removes its temporary file. Unbuffered, because
    // QSaveFile overlooks a failure of the buffer's last flush in commit().
    QSaveFile file(filename);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Unbuffered))
        throw std::runtime_error(tr("Can't open file for writing.").toStdString());
    if (!writeAll(file, text) || !file.commit())
        throw std::runtime_error(tr("Can't write file: %1").arg(file.errorString()).toStdString());
}

QList<Badpixel> HotpixelTextFile::read(const QString& filename)
{
    QFile file(filename);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw std::runtime_error(tr("Can't open file for reading.").toStdString());

    QList<Badpixel> entries;
    QTextStream stream(&file);
    while (!stream.atEnd())
        entries.append(readLine(stream.readLine()));
    return entries;
}

Badpixel HotpixelTextFile::readLine(QString line)
{
    // Qt 5 sets a field it cannot read to 0, so the preset only shows with a
    // Qt that leaves such a field untouched.
    quint32 x = 0xFFFFFFFF;
    quint32 y = 0xFFFFFFFF;
    quint32 pixelclass = 0xFFFFFFFF;
    QTextStream fields(&line, QIODevice::ReadOnly);
    fields >> x >> y >> pixelclass;
    return Badpixel{static_cast<uint16_t>(x), static_cast<uint16_t>(y),
                    static_cast<uint8_t>(pixelclass)};
}
