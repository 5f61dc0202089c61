#pragma once

#include <QSize>

#include <cstdint>

// Size and depth of one image buffer of the camera's ring.
struct ImageInfo
{
    QSize size{0, 0};
    int32_t bitsPerPixel = 0;
};
