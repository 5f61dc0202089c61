#pragma once

#include <QImage>
#include <QString>
#include <QTemporaryDir>

#include <functional>

namespace TestUtils {

// Points QSettings and the XDG data, config and runtime directories at a fresh
// temporary folder for the lifetime of the object, so that tests never read or
// write the user's own settings, camera lists or sockets.
class IsolatedEnvironment
{
public:
    IsolatedEnvironment();
    ~IsolatedEnvironment();

    QString path() const { return dir.path(); }

private:
    QTemporaryDir dir;
};

// The text of what operation throws, or an empty text when it succeeds.
QString errorText(const std::function<void()>& operation);

// Replaces the file's contents; false when it cannot be written.
bool writeFile(const QString& path, const QByteArray& bytes);

// An 8-bit indexed frame with a grey colour table, filled with value.
QImage greyFrame(int width, int height, uchar value = 0);

} // namespace TestUtils
