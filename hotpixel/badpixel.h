#pragma once

#include <QString>

#include <cstdint>

// Class codes of a hot pixel entry. Any code other than Factory and User is
// shown and treated as Ignore.
enum Pixelclass : uint8_t { Factory = 0, User = 1, Ignore = 2 };

// One entry of the hot pixel list.
struct Badpixel
{
    uint16_t x = 0;
    uint16_t y = 0;
    uint8_t pixelclass = User;

    bool isUser() const { return pixelclass == User; }
    // Factory and user entries block a second entry at the same position.
    bool blocksPosition() const { return pixelclass == Factory || pixelclass == User; }
    // "factory", "user" or "ignore"; untranslated, they are also the values
    // the class column hands to setData.
    QString className() const;
    // The class name in the user's language, for display only.
    QString displayName() const;
};
