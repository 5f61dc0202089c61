#pragma once

#include "badpixel.h"

#include <QList>
#include <QVector>

#include <cstdint>

// A hot pixel list as the camera library takes and gives it: 16-bit words,
// word 0 the number of entries n, then n pairs (x, y). Its byte size is
// always twice its word count.
class HotpixelListBuffer
{
public:
    // The empty list: the single word 0.
    HotpixelListBuffer();

    // Room for count pairs, every word 0, for the library to fill in.
    static HotpixelListBuffer zeroed(int count);
    // Word 0 = the number of user entries, then their pairs in list order;
    // entries of every other class are left out.
    static HotpixelListBuffer fromUserEntries(const QList<Badpixel>& entries);

    // The pairs the buffer has room for. Word 0 is not looked at: a list
    // read from the library is sized by a separate count query.
    int pairCount() const { return (words.size() - 1) / 2; }
    // Appends (x, y, pixelclass) for every pair, in buffer order.
    void appendTo(QList<Badpixel>& entries, Pixelclass pixelclass) const;

    uint16_t* data() { return words.data(); }
    uint32_t byteSize() const { return static_cast<uint32_t>(2 * words.size()); }

private:
    explicit HotpixelListBuffer(int wordCount);

    QVector<uint16_t> words;
};
