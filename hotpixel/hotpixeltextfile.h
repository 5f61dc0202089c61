#pragma once

#include "badpixel.h"

#include <QCoreApplication>
#include <QList>
#include <QString>

// Hot pixel text files: one entry per line, "x y class" in decimal.
class HotpixelTextFile
{
    Q_DECLARE_TR_FUNCTIONS(BadpixelListModel)

public:
    // Writes a line "x y 1" for every user entry, in list order. The file is
    // replaced only once it has been written completely; on any failure the
    // old file stays as it was.
    static void write(const QString& filename, const QList<Badpixel>& entries);
    // One entry for every line, whatever it holds (see readLine).
    static QList<Badpixel> read(const QString& filename);

private:
    // Three unsigned numbers, each in the base its prefix gives ("0x" hex,
    // "0" octal); a field that cannot be read is 0; the text after the third
    // is ignored. Keeps the low 16, 16 and 8 bits.
    static Badpixel readLine(QString line);
};
