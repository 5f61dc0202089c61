#pragma once

#include <QCommandLineOption>
#include <QCoreApplication>

class QCommandLineParser;

// The command-line options that choose the camera library's sources:
// simulated cameras, GenICam cameras, and GenICam camera addresses to ask
// instead of searching the networks. They reach the library as its
// environment variables, set before its first call; a variable already set
// stays unless its option is given.
class CameraSourceOptions
{
    Q_DECLARE_TR_FUNCTIONS(CameraSourceOptions)

public:
    explicit CameraSourceOptions(QCommandLineParser& parser);

    // After the parser has processed the arguments.
    void apply() const;

private:
    QCommandLineParser& parser;
    const QCommandLineOption noSimulated;
    const QCommandLineOption noGenicam;
    const QCommandLineOption genicamAddress;
};
