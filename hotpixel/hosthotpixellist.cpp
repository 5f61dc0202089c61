#include "hosthotpixellist.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

#include <stdexcept>

namespace {

// Generous for 1000 lines of two 5-digit numbers.
constexpr qint64 maximumFileSize = 64 * 1024;

std::runtime_error failure(const QString& text)
{
    return std::runtime_error(text.toStdString());
}

} // namespace

HostHotpixelList::HostHotpixelList(const QString& serial)
    : path(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/hotpixel-lists/") +
           QString::fromLatin1(QUrl::toPercentEncoding(serial)) + QStringLiteral(".txt"))
{}

QList<Badpixel> HostHotpixelList::read() const
{
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text) || file.size() > maximumFileSize)
        throw failure(tr("The host-side hot pixel list %1 cannot be read.").arg(path));
    QList<Badpixel> entries;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray& line : lines) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (line.trimmed().isEmpty())
            continue;
        bool xOk = false;
        bool yOk = false;
        const uint x = fields.value(0).toUInt(&xOk);
        const uint y = fields.size() == 2 ? fields.value(1).toUInt(&yOk) : 0;
        if (!xOk || !yOk || x > 0xFFFF || y > 0xFFFF || entries.size() == maximumCount)
            throw failure(tr("The host-side hot pixel list %1 is damaged.").arg(path));
        entries.append(Badpixel{uint16_t(x), uint16_t(y), User});
    }
    return entries;
}

void HostHotpixelList::write(const QList<Badpixel>& entries) const
{
    QByteArray text;
    for (const Badpixel& entry : entries) {
        if (entry.isUser())
            text += QByteArray::number(entry.x) + ' ' + QByteArray::number(entry.y) + '\n';
    }
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        throw failure(tr("The host-side hot pixel list %1 cannot be written.").arg(path));
}
