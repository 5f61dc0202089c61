#pragma once

#include "badpixel.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPoint>
#include <QStringList>

#include <cstdint>

class Camera;
class HotpixelListBuffer;

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
    // Replaces every entry; the undo history puts earlier lists back with it.
    void setBadpixelList(const QList<Badpixel>& list);
    // Why the camera's user list is not in the list: empty once the last
    // read from a camera got it whole. Write refuses while it is not.
    QString userListReadError() const { return userListError; }

signals:
    void pixelAdded(int count);

public slots:
    // Fills the list with the camera's factory list, then its user list. A
    // user list that cannot be read is left out and noted, not thrown: the
    // read runs while the camera is being opened.
    void getBadpixelList(Camera* cam);
    // Replaces the camera's user list with the user entries; refused while
    // the camera's list has not been read whole.
    void writeBadpixelList(Camera* cam);
    void clearUserBadpixelList();
    void clearBadpixelList();
    // Binary list files, written and read by the camera library.
    void saveAsFile(Camera* cam, const QString& filename);
    void loadFromFile(Camera* cam, const QString& filename);
    // Text files, one "x y class" line per entry.
    void exportAsFile(const QString& filename);
    void importFromFile(const QString& filename);
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    // Appends the list's pairs as entries of one class, announced as new rows.
    void appendRows(const HotpixelListBuffer& list, Pixelclass pixelclass);
    static QString notReadError();

    int32_t maximumUserCount = 0;
    int32_t factoryCount = 0;
    QList<Badpixel> entries;
    QString userListError;
};
