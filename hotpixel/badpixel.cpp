#include "badpixel.h"

#include <QCoreApplication>

namespace {

const char* nameOf(uint8_t pixelclass)
{
    switch (pixelclass) {
    case Factory:
        return QT_TRANSLATE_NOOP("Badpixel", "factory");
    case User:
        return QT_TRANSLATE_NOOP("Badpixel", "user");
    default:
        return QT_TRANSLATE_NOOP("Badpixel", "ignore");
    }
}

} // namespace

QString Badpixel::className() const
{
    return QString::fromLatin1(nameOf(pixelclass));
}

QString Badpixel::displayName() const
{
    return QCoreApplication::translate("Badpixel", nameOf(pixelclass));
}
