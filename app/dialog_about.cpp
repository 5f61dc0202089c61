#include "dialog_about.h"

#include "qclickablelabel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QVBoxLayout>

namespace {

constexpr QLatin1String programName("Kivo Speckwright");

} // namespace

Dialog_About::Dialog_About(QWidget* parent)
    : QDialog(parent)
    , aboutQtLabel(new QClickableLabel(this, true))
{
    auto* logo = new QLabel(this);
    logo->setPixmap(QPixmap(QStringLiteral(":/res/about_logo_kivo.png")));

    auto* texts = new QVBoxLayout;
    texts->addWidget(new QLabel(programName, this));
    texts->addWidget(new QLabel(tr("Version: %1").arg(QLatin1String(SPECKWRIGHT_VERSION)), this));
    texts->addWidget(new QLabel(QStringLiteral("Copyright (c) 2025-2026 Talvane"), this));
    texts->addWidget(new QLabel(QStringLiteral("Talvane"), this));
    aboutQtLabel->setText(tr("About Qt"));
    texts->addWidget(aboutQtLabel);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(logo);
    layout->addLayout(texts);

    connect(aboutQtLabel, &QClickableLabel::clicked, this, &Dialog_About::onActivateAboutQt);

    setWindowTitle(tr("About %1").arg(programName));
    setFixedSize(sizeHint());
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
}

// An empty title leaves Qt's own.
void Dialog_About::onActivateAboutQt()
{
    QMessageBox::aboutQt(this, QString());
}
