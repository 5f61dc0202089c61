#include "commandline.h"
#include "languageloader.h"
#include "mainwindow.h"

#include <QApplication>
#include <QLocale>

#include <memory>

int main(int argc, char* argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("speckwright"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SPECKWRIGHT_VERSION));

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // Help and version also answer where there is no display to connect to.
    const std::unique_ptr<QCoreApplication> application =
        CommandLine().needsDisplay(arguments) ? std::make_unique<QApplication>(argc, argv)
                                              : std::make_unique<QCoreApplication>(argc, argv);

    LanguageLoader language;
    language.load(QLocale());
    CommandLine().process(*application);

    MainWindow window;
    window.show();
    return application->exec();
}
