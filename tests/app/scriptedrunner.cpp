#include "scriptedrunner.h"

#include <QMessageBox>
#include <QPushButton>

int ScriptedRunner::exec(QDialog& dialog)
{
    Shown seen;
    seen.title = dialog.windowTitle();
    seen.hasParent = dialog.parentWidget() != nullptr;
    if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
        seen.text = box->text();
        seen.informativeText = box->informativeText();
        seen.icon = box->icon();
        if (box->defaultButton())
            seen.defaultButton = box->standardButton(box->defaultButton());
    }
    shown.append(seen);
    return answers.isEmpty() ? int(QMessageBox::Ok) : answers.takeFirst();
}

QString ScriptedRunner::answerFile(const QString& dir, const QString& filter)
{
    directories.append(dir);
    filters.append(filter);
    return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
}
