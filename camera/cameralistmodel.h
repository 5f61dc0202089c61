#pragma once

#include "cameraentry.h"

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <vector>

class Camera;

// The connected cameras, one row each, refreshed by polling. A camera keeps
// its row across refreshes (matched by device id), so a selection survives.
class CameraListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // interval: milliseconds between two refreshes.
    explicit CameraListModel(int interval, QObject* parent = nullptr);
    ~CameraListModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // A copy of the row's entry; an empty entry for a row outside the list.
    CameraEntry entryAt(int row) const;

    // "free", "opened" or "in use".
    static QString statusText(const CameraEntry& entry);

signals:
    void somethingChanged();
    void rowToSelect(int row);
    // A refresh started by the timer or a sort asked for by a view failed;
    // the rows are as before.
    void errorOccurred(QString message);

public slots:
    void setOpenCamera(Camera* cam);
    void clearOpenCamera();
    // Throws nothing: an unknown column or order is reported by errorOccurred.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    // Throws std::runtime_error with the message to show.
    void updateList();
    // updateList for callers that cannot handle a failure (the poll timer,
    // device events): a failure is reported by errorOccurred instead.
    void refresh();

private:
    std::vector<std::unique_ptr<CameraEntry>> rows;
    QTimer timer;
    QString openSerial;
};
