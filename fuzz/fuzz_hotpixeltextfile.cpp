// The text import, through its public interface: the input is the file.

#include "hotpixeltextfile.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace {

std::unique_ptr<QTemporaryDir> directory;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    directory = std::make_unique<QTemporaryDir>();
    if (!directory->isValid())
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = directory->filePath(QStringLiteral("input.txt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
        std::abort();
    file.close();
    try {
        HotpixelTextFile::read(path);
    } catch (const std::runtime_error&) {
    }
    return 0;
}
