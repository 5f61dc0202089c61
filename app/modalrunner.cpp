#include "modalrunner.h"

#include <QDialog>
#include <QFileDialog>

ModalRunner::~ModalRunner() = default;

int ModalRunner::exec(QDialog& dialog)
{
    return dialog.exec();
}

QString ModalRunner::getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                     const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString ModalRunner::getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                     const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}
