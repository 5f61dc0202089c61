#pragma once

#include <QDialog>

#include <memory>

class ParameterWidget;
class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QProgressBar;

// The window in which the user starts a hot pixel detection: a threshold, the
// choice to clear the old user entries, and the progress and result of a run.
// The dialog detects nothing itself; the main window drives it.
class DetectionDialogue : public QDialog
{
    Q_OBJECT

public:
    explicit DetectionDialogue(QWidget* parent);
    ~DetectionDialogue() override;

    void showError(const QString& text);

signals:
    void startDetect(bool clear, int threshold);

public slots:
    void updateProgress(int progress);
    void finishDetect();
    void abortDetect();
    void addDetectedPixel(int count);

protected:
    // Keys never reach QDialog: Escape must not close a running detection and
    // Enter must not start another one.
    void keyPressEvent(QKeyEvent* event) override;

private slots:
    void detect();

private:
    void setIdle();
    void setDetecting(bool detecting);

    std::unique_ptr<ParameterWidget> thresholdWidget;
    QCheckBox* clearCheckBox;
    QDialogButtonBox* buttonBox;
    QLabel* statusLabel;
    QLabel* countLabel;
    QLabel* errorLabel;
    QProgressBar* progressBar;
    int detectedCount = 0;
};
