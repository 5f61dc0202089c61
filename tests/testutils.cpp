#include "testutils.h"

#include <QDir>
#include <QSettings>
#include <QVector>

#include <exception>

namespace TestUtils {

IsolatedEnvironment::IsolatedEnvironment()
{
    const QString root = dir.path();
    for (const char* name :
         {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "XDG_CACHE_HOME"}) {
        const QString sub = root + QLatin1Char('/') + QString::fromLatin1(name).toLower();
        QDir().mkpath(sub);
        QFile::setPermissions(sub, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                       QFileDevice::ExeOwner);
        qputenv(name, QFile::encodeName(sub));
    }
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       root + QStringLiteral("/xdg_config_home"));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       root + QStringLiteral("/xdg_config_home"));
}

IsolatedEnvironment::~IsolatedEnvironment() = default;

QString errorText(const std::function<void()>& operation)
{
    try {
        operation();
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    }
    return QString();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QImage greyFrame(int width, int height, uchar value)
{
    QImage image(width, height, QImage::Format_Indexed8);
    QVector<QRgb> table(256);
    for (int i = 0; i < 256; ++i)
        table[i] = qRgb(i, i, i);
    image.setColorTable(table);
    image.fill(value);
    return image;
}

} // namespace TestUtils
