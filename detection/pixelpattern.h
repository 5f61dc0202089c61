#pragma once

#include <cstdint>

// Which pixels of a frame make up one averaged plane: cell (row r, column c) belongs to the pixel
// at column startX + c * stepX and row startY + r * stepY.
struct PixelPattern
{
    uint8_t startX;
    uint8_t startY;
    uint8_t stepX;
    uint8_t stepY;

    int pixelX(uint32_t column) const { return int(startX + column * stepX); }
    int pixelY(uint32_t row) const { return int(startY + row * stepY); }
};
