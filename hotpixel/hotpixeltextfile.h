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
    // One entry for every line that is not blank. Throws, naming the first
    // line that is not an entry, so that a wrong file changes nothing.
    static QList<Badpixel> read(const QString& filename);

private:
    // Exactly three unsigned numbers, each in the base its prefix gives ("0x"
    // hex, "0" octal): x and y below 65536, the class code below 256.
    static bool readLine(const QString& line, Badpixel& entry);
};
