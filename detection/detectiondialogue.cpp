#include "detectiondialogue.h"

#include "cameraparameter.h"
#include "detectionevidence.h"
#include "deviationhistogram.h"
#include "deviationhistogramwidget.h"
#include "parameterwidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const Qt::WindowFlags idleFlags = Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint;
// Without a close button in the title bar while frames are being collected.
const Qt::WindowFlags detectingFlags = idleFlags | Qt::CustomizeWindowHint;

QString countText(const QString& count)
{
    return DetectionDialogue::tr("Hot pixel detected: %1").arg(count);
}

} // namespace

DetectionDialogue::DetectionDialogue(QWidget* parent)
    : QDialog(parent)
    , thresholdWidget(std::make_unique<ParameterWidget>())
    , instructionLabel(new QLabel(this))
    , modeComboBox(new QComboBox(this))
    , clearCheckBox(new QCheckBox(tr("Clear old hot pixel list"), this))
    , buttonBox(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Close, this))
    , statusLabel(new QLabel(this))
    , countLabel(new QLabel(countText(QStringLiteral("0")), this))
    , errorLabel(new QLabel(this))
    , progressBar(new QProgressBar(this))
    , histogramWidget(new DeviationHistogramWidget(this))
    , planeComboBox(new QComboBox(this))
    , recordLabel(new QLabel(this))
    , candidateLabel(new QLabel(this))
    , addButton(new QPushButton(tr("Add"), this))
    , saveButton(new QPushButton(tr("Save frame..."), this))
{
    thresholdWidget->setText(tr("Threshold"));
    CameraParameter<int> threshold;
    threshold.min = DetectionEvidence::lowestThreshold;
    threshold.max = 255;
    threshold.inc = 1;
    threshold.value = 40;
    thresholdWidget->setParam(threshold);
    buttonBox->button(QDialogButtonBox::Ok)->setText(tr("Start"));
    modeComboBox->addItem(tr("Hot pixels (sensor covered)"));
    modeComboBox->addItem(tr("Dead and dim pixels (sensor evenly lit)"));
    planeComboBox->addItems({tr("All Bayer sites"), tr("R (even column, even row)"),
                             tr("G (even column, odd row)"), tr("G (odd column, even row)"),
                             tr("B (odd column, odd row)")});
    errorLabel->setWordWrap(true);
    instructionLabel->setWordWrap(true);
    recordLabel->setWordWrap(true);

    auto* modeRow = new QHBoxLayout;
    modeRow->addWidget(new QLabel(tr("Find"), this));
    modeRow->addWidget(modeComboBox, 1);
    auto* thresholdRow = new QHBoxLayout;
    thresholdRow->addWidget(thresholdWidget->label);
    thresholdRow->addWidget(thresholdWidget->slider);
    thresholdRow->addWidget(thresholdWidget->spinBox);
    auto* preferences = new QGroupBox(tr("Preferences"), this);
    auto* preferencesLayout = new QVBoxLayout(preferences);
    preferencesLayout->addLayout(modeRow);
    preferencesLayout->addLayout(thresholdRow);
    preferencesLayout->addWidget(clearCheckBox);

    auto* detection = new QGroupBox(tr("Detection"), this);
    auto* detectionLayout = new QVBoxLayout(detection);
    detectionLayout->addWidget(statusLabel);
    detectionLayout->addWidget(progressBar);
    detectionLayout->addWidget(countLabel);
    detectionLayout->addWidget(errorLabel);

    auto* evidence = new QGroupBox(tr("Evidence"), this);
    auto* evidenceLayout = new QVBoxLayout(evidence);
    evidenceLayout->addWidget(recordLabel);
    evidenceLayout->addWidget(planeComboBox);
    evidenceLayout->addWidget(histogramWidget, 1);
    evidenceLayout->addWidget(candidateLabel);
    auto* evidenceButtons = new QHBoxLayout;
    evidenceButtons->addWidget(addButton);
    evidenceButtons->addWidget(saveButton);
    evidenceButtons->addStretch();
    evidenceLayout->addLayout(evidenceButtons);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(instructionLabel);
    layout->addWidget(preferences);
    layout->addWidget(detection);
    layout->addWidget(evidence, 1);
    layout->addWidget(buttonBox);

    setWindowTitle(tr("Hot pixel detection"));
    setMinimumWidth(400);
    setWindowFlags(idleFlags);
    showMode();
    clearEvidence();

    connect(buttonBox, &QDialogButtonBox::accepted, this, &DetectionDialogue::detect);
    connect(buttonBox, &QDialogButtonBox::rejected, this, &QWidget::close);
    connect(modeComboBox, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &DetectionDialogue::showMode);
    // Each moves the other with its signals blocked, so every change arrives once; the slider's
    // while it is dragged.
    connect(thresholdWidget->spinBox, qOverload<int>(&QSpinBox::valueChanged), this,
            &DetectionDialogue::showThreshold);
    connect(thresholdWidget->slider, &QSlider::valueChanged, this,
            &DetectionDialogue::showThreshold);
    connect(planeComboBox, qOverload<int>(&QComboBox::currentIndexChanged), histogramWidget,
            [this](int index) { histogramWidget->setPlane(index - 1); });
    connect(addButton, &QPushButton::clicked, this,
            [this] { emit addRequested(thresholdWidget->spinBox->value()); });
    connect(saveButton, &QPushButton::clicked, this, &DetectionDialogue::saveRequested);
}

DetectionDialogue::~DetectionDialogue() = default;

CaptureRecord::Mode DetectionDialogue::mode() const
{
    return modeComboBox->currentIndex() == 1 ? CaptureRecord::Mode::DeadPixels
                                             : CaptureRecord::Mode::HotPixels;
}

int DetectionDialogue::threshold() const
{
    return thresholdWidget->spinBox->value();
}

void DetectionDialogue::showMode()
{
    if (mode() == CaptureRecord::Mode::HotPixels) {
        instructionLabel->setText(tr("Cover the sensor completely during capturing!\n"));
        histogramWidget->setAxisTitle(tr("Grey levels above the mean of the pixel's plane"));
    } else {
        instructionLabel->setText(
            tr("Light the sensor evenly during capturing, bright but not saturated!\n"));
        histogramWidget->setAxisTitle(tr("Grey levels below the mean of the pixel's plane"));
    }
}

void DetectionDialogue::showThreshold(int value)
{
    histogramWidget->setThreshold(value);
    if (hasEvidence)
        emit thresholdChanged(value);
}

void DetectionDialogue::showEvidence(const DeviationHistogram* histogram,
                                     const CaptureRecord& record)
{
    hasEvidence = true;
    histogramWidget->setHistogram(histogram);
    histogramWidget->setThreshold(threshold());
    planeComboBox->setVisible(histogram->planes() > 1);
    planeComboBox->setCurrentIndex(0);
    const QString found = record.mode == CaptureRecord::Mode::HotPixels
                              ? tr("Hot pixels, sensor covered")
                              : tr("Dead and dim pixels, sensor evenly lit");
    recordLabel->setText(tr("%1: %2 frames at exposure %3 ms, gain %4")
                             .arg(found)
                             .arg(record.frames)
                             .arg(record.exposureMs, 0, 'f', 2)
                             .arg(record.gain));
    addButton->setEnabled(true);
    saveButton->setEnabled(true);
}

void DetectionDialogue::clearEvidence()
{
    hasEvidence = false;
    histogramWidget->setHistogram(nullptr);
    planeComboBox->hide();
    recordLabel->setText(tr("No run yet."));
    candidateLabel->clear();
    addButton->setEnabled(false);
    saveButton->setEnabled(false);
}

void DetectionDialogue::showCandidateCount(uint64_t above, uint64_t fresh)
{
    candidateLabel->setText(tr("%1 pixels above threshold, %2 of them new").arg(above).arg(fresh));
}

void DetectionDialogue::setDetecting(bool detecting)
{
    this->detecting = detecting;
    setWindowFlags(detecting ? detectingFlags : idleFlags);
    show(); // changing the flags hides the window
    buttonBox->setEnabled(!detecting);
    modeComboBox->setEnabled(!detecting);
    clearCheckBox->setEnabled(!detecting);
    thresholdWidget->setEnabled(!detecting);
}

void DetectionDialogue::detect()
{
    clearEvidence();
    setDetecting(true);
    statusLabel->setText(tr("Please Wait..."));
    countLabel->setText(countText(QStringLiteral("0")));
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
    countLabel->setText(countText(QString::number(detectedCount)));
}

void DetectionDialogue::showError(const QString& text)
{
    errorLabel->setText(text);
    countLabel->setText(countText(QStringLiteral("-")));
}

void DetectionDialogue::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && !detecting)
        close();
}
