#include "hotpixeltextfile.h"

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QStringList>
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
    for (int number = 1; !stream.atEnd(); ++number) {
        const QString line = stream.readLine();
        if (line.trimmed().isEmpty())
            continue;
        Badpixel entry;
        if (!readLine(line, entry))
            throw std::runtime_error(tr("Line %1 is not a hot pixel entry \"x y class\":\n%2\n"
                                        "Nothing was imported.")
                                         .arg(number)
                                         .arg(line.left(80))
                                         .toStdString());
        entries.append(entry);
    }
    return entries;
}

bool HotpixelTextFile::readLine(const QString& line, Badpixel& entry)
{
    const QStringList fields = line.simplified().split(QLatin1Char(' '));
    if (fields.size() != 3)
        return false;
    const uint limits[] = {0xFFFF, 0xFFFF, 0xFF};
    uint values[3] = {};
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        values[i] = fields.at(i).toUInt(&ok, 0);
        if (!ok || values[i] > limits[i])
            return false;
    }
    entry = Badpixel{static_cast<uint16_t>(values[0]), static_cast<uint16_t>(values[1]),
                     static_cast<uint8_t>(values[2])};
    return true;
}
