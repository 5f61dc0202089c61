#include "commandline.h"

CommandLine::CommandLine()
    : helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                 tr("Show this help and quit."))
    , versionOption(QStringList{QStringLiteral("v"), QStringLiteral("version")},
                    tr("Show the version and quit."))
{
    parser.setApplicationDescription(
        tr("Shows the live image of a camera and edits the camera's hot pixel lists."));
    parser.addOption(helpOption);
    parser.addOption(versionOption);
}

bool CommandLine::needsDisplay(const QStringList& arguments)
{
    // Unknown options do not matter here: process() reports them.
    parser.parse(arguments);
    return !parser.isSet(helpOption) && !parser.isSet(versionOption);
}

void CommandLine::process(const QCoreApplication& application)
{
    parser.process(application);
    if (parser.isSet(helpOption))
        parser.showHelp(0);
    if (parser.isSet(versionOption))
        parser.showVersion();
    cameraSources.apply();
}
