#pragma once

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QSlider>
#include <QString>

// One row of controls for a setting: a label, a slider and the spin box of the
// concrete widget. The user of the widget places the controls into a layout.
// The widget deletes its controls unless the widget they were laid out into
// has already done so, so either may be destroyed first.
class BaseParameterWidget : public QObject
{
    Q_OBJECT

public:
    explicit BaseParameterWidget(QObject* parent = nullptr);
    ~BaseParameterWidget() override;

    // Enables or disables the whole row.
    virtual void setEnabled(bool enabled);

    const QPointer<QLabel> label;
    const QPointer<QSlider> slider;

public slots:
    void setText(const QString& text);

protected:
    // Cleared while the widget moves its own controls, so that only the
    // user's changes are reported.
    bool emitEnabled = true;
};
