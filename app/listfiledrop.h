#pragma once

#include <QObject>
#include <QString>

class QMimeData;
class QWidget;

// Lets one hot pixel list file (*.txt or *.bin) be dropped on a widget and
// reports it; anything else is refused while it is dragged.
class ListFileDrop : public QObject
{
    Q_OBJECT

public:
    explicit ListFileDrop(QWidget* target);

signals:
    void fileDropped(const QString& filename);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The file's name, or empty when the data is not one list file.
    static QString listFile(const QMimeData* data);
};
