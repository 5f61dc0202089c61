// cameraparameter.xml, looked up for the sensor id of the seed files.

#include "cameraparameterfile.h"

#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        CameraParameterFile::parse(
            QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size)), 0x20B);
    } catch (const std::runtime_error&) {
    }
    return 0;
}
