#pragma once

#include <QString>
#include <QTranslator>

class QLocale;

// Puts the program's translation and Qt's own for one language into the
// application, replacing the ones it put there before. Every window
// retranslates itself on the language change this sends.
class LanguageLoader
{
public:
    explicit LanguageLoader(QString directory = installedDirectory());
    ~LanguageLoader();
    LanguageLoader(const LanguageLoader&) = delete;
    LanguageLoader& operator=(const LanguageLoader&) = delete;

    // False when the program has no translation for the locale; it then
    // speaks its source language, English.
    bool load(const QLocale& locale);

    // The translations folder of an installed program, found beside the
    // executable so that the installation prefix can be anything.
    static QString installedDirectory();

private:
    QString directory;
    QTranslator programTranslator;
    QTranslator qtTranslator;
};
