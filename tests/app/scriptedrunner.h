#pragma once

#include "modalrunner.h"

#include <QList>
#include <QStringList>

// Answers the main window's modal dialogs and file choosers without a user,
// and records what the user would have seen.
class ScriptedRunner : public ModalRunner
{
public:
    struct Shown
    {
        QString title;
        QString text;
        QString informativeText;
        int icon = 0;
        int defaultButton = 0;
        bool hasParent = false;
    };

    int exec(QDialog& dialog) override;
    QString getOpenFileName(QWidget*, const QString&, const QString& dir,
                            const QString& filter) override
    {
        return answerFile(dir, filter);
    }
    QString getSaveFileName(QWidget*, const QString&, const QString& dir,
                            const QString& filter) override
    {
        return answerFile(dir, filter);
    }

    QList<Shown> shown;
    // Results of exec(), first to last; QMessageBox::Ok once they run out.
    QList<int> answers;
    // Answers of the file choosers; an empty name is a cancelled chooser.
    QStringList fileNames;
    QStringList filters;
    QStringList directories;

private:
    QString answerFile(const QString& dir, const QString& filter);
};
