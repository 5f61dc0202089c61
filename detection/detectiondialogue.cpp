#include "detectiondialogue.h"

#include "cameraparameter.h"
#include "parameterwidget.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const Qt::WindowFlags idleFlags = Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint;
// Without a close button in the title bar while frames are being collected.
const Qt::WindowFlags detectingFlags = idleFlags | Qt::CustomizeWindowHint;

QString countText(int count)
{
    return QStringLiteral("Hot pixel detected: %1").arg(count);
}

} // namespace

DetectionDialogue::DetectionDialogue(QWidget* parent)
    : QDialog(parent)
    , thresholdWidget(std::make_unique<ParameterWidget>())
    , clearCheckBox(new QCheckBox(tr("Clear old hot pixel list"), this))
    , buttonBox(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Close, this))
    , statusLabel(new QLabel(this))
    , countLabel(new QLabel(countText(0), this))
    , errorLabel(new QLabel(this))
    , progressBar(new QProgressBar(this))
{
    thresholdWidget->setText(tr("Threshold"));
    CameraParameter<int> threshold;
    threshold.min = 5;
    threshold.max = 255;
    threshold.inc = 1;
    threshold.value = 40;
    thresholdWidget->setParam(threshold);
    buttonBox->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Start"));

    auto* thresholdRow = new QHBoxLayout;
    thresholdRow->addWidget(thresholdWidget->label);
    thresholdRow->addWidget(thresholdWidget->slider);
    thresholdRow->addWidget(thresholdWidget->spinBox);
    auto* preferences = new QGroupBox(tr("Preferences"), this);
    auto* preferencesLayout = new QVBoxLayout(preferences);
    preferencesLayout->addLayout(thresholdRow);
    preferencesLayout->addWidget(clearCheckBox);

    auto* detection = new QGroupBox(tr("Detection"), this);
    auto* detectionLayout = new QVBoxLayout(detection);
    detectionLayout->addWidget(statusLabel);
    detectionLayout->addWidget(progressBar);
    detectionLayout->addWidget(countLabel);
    detectionLayout->addWidget(errorLabel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Cover the sensor completely during capturing!\n"), this));
    layout->addWidget(preferences);
    layout->addWidget(detection);
    layout->addWidget(buttonBox);

    setWindowTitle(tr("Hot pixel detection"));
    setMinimumWidth(400);
    setWindowFlags(idleFlags);

    connect(buttonBox, &QDialogButtonBox::accepted, this, &DetectionDialogue::detect);
    connect(buttonBox, &QDialogButtonBox::rejected, this, &QWidget::close);
}

DetectionDialogue::~DetectionDialogue() = default;

void DetectionDialogue::setDetecting(bool detecting)
{
    setWindowFlags(detecting ? detectingFlags : idleFlags);
    show(); // changing the flags hides the window
    buttonBox->setEnabled(!detecting);
    clearCheckBox->setEnabled(!detecting);
    thresholdWidget->setEnabled(!detecting);
}

void DetectionDialogue::detect()
{
    setDetecting(true);
    statusLabel->setText(tr("Please Wait..."));
    countLabel->setText(countText(0));
    errorLabel->clear();
    detectedCount = 0;
    emit startDetect(clearCheckBox->isChecked(), thresholdWidget->spinBox->value());
}

void DetectionDialogue::updateProgress(int progress)
{
    progressBar->setValue(progress);
}

void DetectionDialogue::setIdle()
{
    setDetecting(false);
    statusLabel->clear();
}

void DetectionDialogue::finishDetect()
{
    setIdle();
}

void DetectionDialogue::abortDetect()
{
    setIdle();
    progressBar->setValue(0);
}

void DetectionDialogue::addDetectedPixel(int count)
{
    detectedCount += count;
    countLabel->setText(countText(detectedCount));
}

void DetectionDialogue::showError(const QString& text)
{
    errorLabel->setText(text);
    countLabel->setText(QStringLiteral("Hot pixel detected: -"));
}

void DetectionDialogue::keyPressEvent(QKeyEvent*) {}
