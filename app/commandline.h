#pragma once

#include "camerasourceoptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

// The program's command line. Help and version are plain text on standard
// output, so asking for them needs no display.
class CommandLine
{
    Q_DECLARE_TR_FUNCTIONS(CommandLine)

public:
    CommandLine();

    // True unless the arguments only ask for help or the version.
    bool needsDisplay(const QStringList& arguments);
    // Prints help, the version or what is wrong with the arguments and ends
    // the process in those cases; otherwise passes the camera source options
    // on to the camera library and returns.
    void process(const QCoreApplication& application);

private:
    QCommandLineParser parser;
    const QCommandLineOption helpOption;
    const QCommandLineOption versionOption;
    const CameraSourceOptions cameraSources{parser};
};
