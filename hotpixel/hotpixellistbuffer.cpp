#include "hotpixellistbuffer.h"

#include <algorithm>

HotpixelListBuffer::HotpixelListBuffer()
    : HotpixelListBuffer(1)
{}

HotpixelListBuffer::HotpixelListBuffer(int wordCount)
    : words(wordCount, 0)
{}

HotpixelListBuffer HotpixelListBuffer::zeroed(int count)
{
    return HotpixelListBuffer(2 * count + 1);
}

HotpixelListBuffer HotpixelListBuffer::fromUserEntries(const QList<Badpixel>& entries)
{
    const auto userCount = std::count_if(entries.cbegin(), entries.cend(),
                                         [](const Badpixel& entry) { return entry.isUser(); });
    HotpixelListBuffer buffer;
    buffer.words.reserve(static_cast<int>(2 * userCount + 1));
    buffer.words[0] = static_cast<uint16_t>(userCount);
    for (const Badpixel& entry : entries) {
        if (entry.isUser())
            buffer.words << entry.x << entry.y;
    }
    return buffer;
}

void HotpixelListBuffer::appendTo(QList<Badpixel>& entries, Pixelclass pixelclass) const
{
    const int count = pairCount();
    entries.reserve(entries.size() + count);
    for (int i = 0; i < count; ++i)
        entries.append(Badpixel{words[2 * i + 1], words[2 * i + 2], pixelclass});
}
