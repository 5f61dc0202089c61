#pragma once

#include "capturerecord.h"

#include <QDialog>

#include <cstdint>
#include <memory>

class DeviationHistogram;
class DeviationHistogramWidget;
class ParameterWidget;
class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QProgressBar;
class QPushButton;

// The window in which the user runs a bad pixel detection: the mode, a threshold, the choice to
// clear the old user entries, the progress of a run, and after it the evidence to choose the
// threshold by: the histogram of deviations and the count of candidates, which Add puts into
// the list. The dialog detects nothing itself; the main window drives it.
class DetectionDialogue : public QDialog
{
    Q_OBJECT

public:
    explicit DetectionDialogue(QWidget* parent);
    ~DetectionDialogue() override;

    void showError(const QString& text);
    CaptureRecord::Mode mode() const;
    int threshold() const;
    // The histogram is not owned and must live until clearEvidence() or the next showEvidence().
    void showEvidence(const DeviationHistogram* histogram, const CaptureRecord& record);
    void clearEvidence();
    void showCandidateCount(uint64_t above, uint64_t fresh);

signals:
    void startDetect(bool clear, int threshold);
    void thresholdChanged(int threshold);
    void addRequested(int threshold);
    void saveRequested();

public slots:
    void updateProgress(int progress);
    void finishDetect();
    void abortDetect();
    void addDetectedPixel(int count);

protected:
    // Enter never reaches QDialog, so that it cannot start another run; Escape closes the dialog
    // only while no frames are being collected.
    void keyPressEvent(QKeyEvent* event) override;

private slots:
    void detect();

private:
    void setIdle();
    void setDetecting(bool detecting);
    void showMode();
    void showThreshold(int value);

    std::unique_ptr<ParameterWidget> thresholdWidget;
    QLabel* instructionLabel;
    QComboBox* modeComboBox;
    QCheckBox* clearCheckBox;
    QDialogButtonBox* buttonBox;
    QLabel* statusLabel;
    QLabel* countLabel;
    QLabel* errorLabel;
    QProgressBar* progressBar;
    DeviationHistogramWidget* histogramWidget;
    QComboBox* planeComboBox;
    QLabel* recordLabel;
    QLabel* candidateLabel;
    QPushButton* addButton;
    QPushButton* saveButton;
    int detectedCount = 0;
    bool detecting = false;
    bool hasEvidence = false;
};
