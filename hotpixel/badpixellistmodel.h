#pragma once

#include "badpixel.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPoint>
#include <QStringList>

#include <cstdint>

// The program's hot pixel list: factory, user and ignored entries in one
// table of three columns (x, y, class).
class BadpixelListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit BadpixelListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    bool insertRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

    // Adds a user entry unless a factory or user entry holds the position.
    bool addBadpixel(QPoint position);
    // Column-0 index of the first entry within radius - 1 in x and y, or invalid.
    QModelIndex findBadpixel(int x, int y, int radius) const;
    Badpixel badpixelAt(int row) const;
    bool deleteUserBadpixel(int row);
    QList<Badpixel> badpixelList() const;

signals:
    void pixelAdded(int count);

public slots:
    void clearUserBadpixelList();
    void clearBadpixelList();
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    int32_t maximumUserCount = 0;
    int32_t factoryCount = 0;
    QList<Badpixel> entries;
    QStringList headers;
};
