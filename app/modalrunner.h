#pragma once

#include <QString>

class QDialog;
class QWidget;

// Runs the window's modal dialogs and file choosers. The program uses this
// class as it is; tests install a subclass that answers without a user.
class ModalRunner
{
public:
    virtual ~ModalRunner();

    // Runs the dialog modally and returns its result (QDialog::exec).
    virtual int exec(QDialog& dialog);
    virtual QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                    const QString& filter);
    virtual QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                    const QString& filter);
};
