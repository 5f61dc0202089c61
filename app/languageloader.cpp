#include "languageloader.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>

#include <utility>

LanguageLoader::LanguageLoader(QString directory)
    : directory(std::move(directory))
{}

LanguageLoader::~LanguageLoader()
{
    QCoreApplication::removeTranslator(&programTranslator);
    QCoreApplication::removeTranslator(&qtTranslator);
}

bool LanguageLoader::load(const QLocale& locale)
{
    QCoreApplication::removeTranslator(&programTranslator);
    QCoreApplication::removeTranslator(&qtTranslator);
    // Qt's own texts (standard buttons, file dialogs) come from its package
    // of translations when that is installed.
    if (qtTranslator.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTranslator);
    if (!programTranslator.load(locale, QStringLiteral("speckwright"), QStringLiteral("_"),
                                directory))
        return false;
    QCoreApplication::installTranslator(&programTranslator);
    return true;
}

QString LanguageLoader::installedDirectory()
{
    return QDir(QCoreApplication::applicationDirPath())
        .absoluteFilePath(QStringLiteral(SPECKWRIGHT_TRANSLATIONS_FROM_BINDIR));
}
