#include "badpixellistmodel.h"

#include "camera.h"
#include "camerahotpixellists.h"
#include "driveruserlist.h"
#include "hosthotpixellist.h"
#include "hotpixellistbuffer.h"
#include "hotpixeltextfile.h"

#include <algorithm>
#include <stdexcept>

namespace {

enum Column { ColumnX = 0, ColumnY = 1, ColumnClass = 2 };

// Orders entries by one column; the table view asks only for columns 0 to 2
// and the two sort orders, anything else is a programming error.
class BadpixelLess
{
public:
    BadpixelLess(int column, Qt::SortOrder order)
        : column(column)
        , order(order)
    {}

    bool operator()(const Badpixel& a, const Badpixel& b) const
    {
        const unsigned keyA = key(a);
        const unsigned keyB = key(b);
        switch (order) {
        case Qt::AscendingOrder:
            return keyA < keyB;
        case Qt::DescendingOrder:
            return keyA > keyB;
        }
        throw std::runtime_error("Sort Error");
    }

private:
    unsigned key(const Badpixel& entry) const
    {
        switch (column) {
        case ColumnX:
            return entry.x;
        case ColumnY:
            return entry.y;
        case ColumnClass:
            return entry.pixelclass;
        default:
            throw std::runtime_error("Sort Error");
        }
    }

    int column;
    Qt::SortOrder order;
};

// The camera commands are only offered with an open camera; without one the
// library refuses handle 0 and its status is reported.
uint32_t handleOf(const Camera* cam)
{
    return cam ? cam->cameraHandle() : 0;
}

// Translated when shown, so that the header follows a language change.
const char* const headers[] = {QT_TRANSLATE_NOOP("BadpixelListModel", "x"),
                               QT_TRANSLATE_NOOP("BadpixelListModel", "y"),
                               QT_TRANSLATE_NOOP("BadpixelListModel", "class")};
constexpr int columns = int(std::size(headers));

} // namespace

BadpixelListModel::BadpixelListModel(QObject* parent)
    : QAbstractTableModel(parent)
    , userListError(notReadError())
{}

int BadpixelListModel::rowCount(const QModelIndex&) const
{
    return entries.size();
}

int BadpixelListModel::columnCount(const QModelIndex&) const
{
    return columns;
}

QVariant BadpixelListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= entries.size() || index.column() >= columns)
        return QVariant();
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return QVariant();

    const Badpixel& entry = entries.at(index.row());
    switch (index.column()) {
    case ColumnX:
        return int(entry.x);
    case ColumnY:
        return int(entry.y);
    default:
        return role == Qt::DisplayRole ? entry.displayName() : entry.className();
    }
}

QVariant BadpixelListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return section;
    if (section < 0 || section >= columns)
        return QVariant();
    return tr(headers[section]);
}

Qt::ItemFlags BadpixelListModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags result = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    // The class column opens the class editor, so a user can promote a
    // factory entry to a user entry or take a user entry out of the writes.
    if (index.isValid() && index.column() == ColumnClass)
        result |= Qt::ItemIsEditable;
    return result;
}

bool BadpixelListModel::setData(const QModelIndex& index, const QVariant& value, int)
{
    if (!index.isValid() || index.row() >= entries.size())
        return false;

    Badpixel& entry = entries[index.row()];
    bool ok = false;
    switch (index.column()) {
    case ColumnX:
    case ColumnY: {
        const int number = value.toInt(&ok);
        if (!ok)
            return false;
        (index.column() == ColumnX ? entry.x : entry.y) = uint16_t(number);
        break;
    }
    case ColumnClass: {
        const QString name = value.toString();
        if (name == QLatin1String("factory"))
            entry.pixelclass = Factory;
        else if (name == QLatin1String("user"))
            entry.pixelclass = User;
        else
            return false;
        break;
    }
    default:
        return false;
    }
    emit dataChanged(index, index);
    return true;
}

bool BadpixelListModel::insertRows(int row, int count, const QModelIndex& parent)
{
    beginInsertRows(parent, row, row + count - 1);
    for (int i = 0; i < count; ++i)
        entries.insert(row, Badpixel{0, 0, User});
    endInsertRows();
    return true;
}

bool BadpixelListModel::removeRows(int row, int count, const QModelIndex& parent)
{
    beginRemoveRows(parent, row, row + count - 1);
    for (int i = 0; i < count; ++i) {
        if (row >= 0 && row < entries.size())
            entries.removeAt(row);
    }
    endRemoveRows();
    return true;
}

bool BadpixelListModel::addBadpixel(QPoint position)
{
    const auto x = uint16_t(position.x());
    const auto y = uint16_t(position.y());
    const bool held = std::any_of(entries.cbegin(), entries.cend(), [x, y](const Badpixel& e) {
        return e.x == x && e.y == y && e.blocksPosition();
    });
    if (held)
        return false;

    const int row = entries.size();
    beginInsertRows(QModelIndex(), row, row);
    entries.append(Badpixel{x, y, User});
    endInsertRows();
    emit pixelAdded(1);
    return true;
}

QModelIndex BadpixelListModel::findBadpixel(int x, int y, int radius) const
{
    for (int row = 0; row < entries.size(); ++row) {
        const int ex = entries.at(row).x;
        const int ey = entries.at(row).y;
        if (x - radius < ex && ex < x + radius && y - radius < ey && ey < y + radius)
            return index(row, ColumnX);
    }
    return QModelIndex();
}

Badpixel BadpixelListModel::badpixelAt(int row) const
{
    // Callers pass rows of the list; anything else gets an empty entry.
    return entries.value(row, Badpixel{0, 0, Ignore});
}

bool BadpixelListModel::deleteUserBadpixel(int row)
{
    if (row < 0 || row >= entries.size() || !entries.at(row).isUser())
        return false;
    return removeRows(row, 1, QModelIndex());
}

QList<Badpixel> BadpixelListModel::badpixelList() const
{
    return entries;
}

void BadpixelListModel::getBadpixelList(Camera* cam)
{
    clearBadpixelList();
    userListError = notReadError();
    if (!cam)
        return;
    if (cam->hotpixelListPlace() == Camera::ListPlace::OnHost) {
        maximumUserCount = HostHotpixelList::maximumCount;
        factoryCount = 0;
        try {
            appendRows(
                HotpixelListBuffer::fromUserEntries(HostHotpixelList(cam->serialNumber()).read()),
                User);
            userListError.clear();
        } catch (const std::exception& error) {
            userListError = QString::fromLocal8Bit(error.what());
        }
        return;
    }
    const CameraHotpixelLists lists(cam->cameraHandle());
    lists.queryMaximumUserCount(maximumUserCount);
    lists.queryFactoryCount(factoryCount);
    appendRows(lists.readFactoryList(factoryCount), Factory);
    try {
        appendRows(lists.readUserList(maximumUserCount), User);
        userListError.clear();
    } catch (const std::exception& error) {
        userListError = QString::fromLocal8Bit(error.what());
    }
}

void BadpixelListModel::writeBadpixelList(Camera* cam)
{
    // Without the camera's own entries in the list, a write would drop them.
    if (!userListError.isEmpty())
        throw std::runtime_error(
            QString(userListError + QLatin1Char(' ') +
                    tr("Writing is refused so that the entries the camera holds are not lost; "
                       "close and open the camera to read its list again."))
                .toStdString());
    // Every entry beyond the factory list counts against the camera's limit,
    // whatever its class.
    if (entries.size() - factoryCount > maximumUserCount)
        throw std::runtime_error(
            tr("Can't write more than %1 hot pixel entries.").arg(maximumUserCount).toStdString());
    if (cam && cam->hotpixelListPlace() == Camera::ListPlace::OnHost)
        HostHotpixelList(cam->serialNumber()).write(entries);
    else
        CameraHotpixelLists(handleOf(cam))
            .writeUserList(HotpixelListBuffer::fromUserEntries(entries));
}

void BadpixelListModel::clearUserBadpixelList()
{
    int row = 0;
    while (row < entries.size()) {
        if (entries.at(row).isUser())
            removeRows(row, 1, QModelIndex());
        else
            ++row;
    }
}

void BadpixelListModel::clearBadpixelList()
{
    if (entries.isEmpty())
        return;
    beginRemoveRows(QModelIndex(), 0, entries.size() - 1);
    entries.clear();
    endRemoveRows();
}

void BadpixelListModel::saveAsFile(Camera* cam, const QString& filename)
{
    DriverUserList(handleOf(cam)).saveAs(HotpixelListBuffer::fromUserEntries(entries), filename);
}

void BadpixelListModel::loadFromFile(Camera* cam, const QString& filename)
{
    // The user entries are replaced only once the file's list has been had.
    const DriverUserList::Loaded loaded = DriverUserList(handleOf(cam)).load(filename);
    clearUserBadpixelList();
    // The file's entries stay even when the library's own list cannot be put
    // back.
    loaded.list.appendTo(entries, User);
    emit layoutChanged();
    if (loaded.restoreStatus != 0)
        throw DriverUserList::loadRestoreFailure(loaded.restoreStatus);
}

void BadpixelListModel::exportAsFile(const QString& filename)
{
    HotpixelTextFile::write(filename, entries);
}

void BadpixelListModel::importFromFile(const QString& filename)
{
    // Read first: a file that cannot be read or holds a wrong line leaves the
    // list as it was.
    const QList<Badpixel> imported = HotpixelTextFile::read(filename);
    clearUserBadpixelList();
    entries.append(imported);
    emit layoutChanged();
}

void BadpixelListModel::setBadpixelList(const QList<Badpixel>& list)
{
    beginResetModel();
    entries = list;
    endResetModel();
}

void BadpixelListModel::sort(int column, Qt::SortOrder order)
{
    if (entries.isEmpty())
        return;
    std::sort(entries.begin(), entries.end(), BadpixelLess(column, order));
    emit layoutChanged();
}

QString BadpixelListModel::notReadError()
{
    return tr("The camera's user hot pixel list has not been read.");
}

void BadpixelListModel::appendRows(const HotpixelListBuffer& list, Pixelclass pixelclass)
{
    if (list.pairCount() == 0)
        return;
    const int row = entries.size();
    beginInsertRows(QModelIndex(), row, row + list.pairCount() - 1);
    list.appendTo(entries, pixelclass);
    endInsertRows();
}
