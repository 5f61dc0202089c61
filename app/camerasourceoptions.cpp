#include "camerasourceoptions.h"

#include <QCommandLineParser>
#include <QStringList>

CameraSourceOptions::CameraSourceOptions(QCommandLineParser& commandLine)
    : parser(commandLine)
    , noSimulated(QStringLiteral("no-simulated-cameras"),
                  tr("Do not offer the simulated cameras (also KIVO_SIMULATED_CAMERAS=0)."))
    , noGenicam(QStringLiteral("no-genicam-cameras"),
                tr("Do not look for GenICam cameras (also KIVO_GENICAM_CAMERAS=0)."))
    , genicamAddress(QStringLiteral("genicam-address"),
                     tr("Ask the GigE Vision camera at <address> instead of searching the "
                        "networks; may be given more than once (also KIVO_GENICAM_ADDRESSES, "
                        "separated by commas)."),
                     tr("address"))
{
    parser.addOptions({noSimulated, noGenicam, genicamAddress});
}

void CameraSourceOptions::apply() const
{
    if (parser.isSet(noSimulated))
        qputenv("KIVO_SIMULATED_CAMERAS", "0");
    if (parser.isSet(noGenicam))
        qputenv("KIVO_GENICAM_CAMERAS", "0");
    if (parser.isSet(genicamAddress))
        qputenv("KIVO_GENICAM_ADDRESSES",
                parser.values(genicamAddress).join(QLatin1Char(',')).toLocal8Bit());
}
