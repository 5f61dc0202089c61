#include "languageloader.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>

LanguageLoader::LanguageLoader(QString directory)
    : directory(std::move(directory))
{}

LanguageLoader::~LanguageLoader()
{
    QCoreApplication::removeTranslator(&program);
    QCoreApplication::removeTranslator(&qt);
}

bool LanguageLoader::load(const QLocale& locale)
{
    QCoreApplication::removeTranslator(&program);
    QCoreApplication::removeTranslator(&qt);
    // Qt's own texts (standard buttons, file dialogs) come from its package
    // of translations when that is installed.
    if (qt.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qt);
    if (!program.load(locale, QStringLiteral("speckwright"), QStringLiteral("_"), directory))
        return false;
    QCoreApplication::installTranslator(&program);
    return true;
}

QString LanguageLoader::installedDirectory()
{
    return QDir(QCoreApplication::applicationDirPath())
        .absoluteFilePath(QStringLiteral(SPECKWRIGHT_TRANSLATIONS_FROM_BINDIR));
}
