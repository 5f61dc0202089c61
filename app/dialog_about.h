#pragma once

#include <QDialog>

class QClickableLabel;

// The About box: logo, name, version, copyright, maker and a link to Qt's own
// About box. It has no buttons; the title bar or Escape closes it.
class Dialog_About : public QDialog
{
    Q_OBJECT

public:
    explicit Dialog_About(QWidget* parent = nullptr);

public slots:
    void onActivateAboutQt();

private:
    QClickableLabel* const aboutQtLabel;
};
