#include "badpixel.h"

QString Badpixel::className() const
{
    switch (pixelclass) {
    case Factory:
        return QStringLiteral("factory");
    case User:
        return QStringLiteral("user");
    default:
        return QStringLiteral("ignore");
    }
}
