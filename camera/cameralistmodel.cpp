#include "cameralistmodel.h"

#include "camera.h"

#include "kivo_api.h"

#include <QVariant>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <stdexcept>

namespace {

constexpr int StatusColumn = 4;

// Text of a fixed-size, NUL-terminated field of the library's record.
template<std::size_t N>
QString fieldText(const char (&field)[N])
{
    return QString::fromLatin1(field, static_cast<int>(qstrnlen(field, N)));
}

CameraEntry entryFromRecord(const CAM_CAMERA_INFO& record)
{
    CameraEntry entry;
    entry.cameraId = record.cameraId;
    entry.deviceId = record.deviceId;
    entry.sensorId = record.sensorId;
    entry.inUse = record.inUse;
    entry.serial = fieldText(record.serial);
    entry.model = fieldText(record.model);
    return entry;
}

// Orders two rows by one column; an unknown column or order throws.
class EntryOrder
{
public:
    EntryOrder(int column, Qt::SortOrder order)
        : column(column)
        , order(order)
    {}

    bool operator()(const CameraEntry& a, const CameraEntry& b) const
    {
        switch (order) {
        case Qt::AscendingOrder:
            return before(a, b);
        case Qt::DescendingOrder:
            return before(b, a);
        }
        throw std::runtime_error("Sort Error");
    }

private:
    bool before(const CameraEntry& a, const CameraEntry& b) const
    {
        switch (column) {
        case 0:
            return a.cameraId < b.cameraId;
        case 1:
            return a.deviceId < b.deviceId;
        case 2:
            return a.model < b.model;
        case 3:
            return a.serial < b.serial;
        case StatusColumn:
            return QString::localeAwareCompare(CameraListModel::statusText(b),
                                               CameraListModel::statusText(a)) > 0;
        default:
            throw std::runtime_error("Sort Error");
        }
    }

    int column;
    Qt::SortOrder order;
};

// Translated when shown, so that the header follows a language change.
const char* const headers[] = {
    QT_TRANSLATE_NOOP("CameraListModel", "Cam"), QT_TRANSLATE_NOOP("CameraListModel", "Dev"),
    QT_TRANSLATE_NOOP("CameraListModel", "Model"), QT_TRANSLATE_NOOP("CameraListModel", "SerNo"),
    QT_TRANSLATE_NOOP("CameraListModel", "Status")};
constexpr int columns = int(std::size(headers));

} // namespace

CameraListModel::CameraListModel(int interval, QObject* parent)
    : QAbstractTableModel(parent)
{
    if (connect(&timer, &QTimer::timeout, this, &CameraListModel::refresh))
        timer.start(interval);
}

CameraListModel::~CameraListModel() = default;

CameraEntry CameraListModel::entryAt(int row) const
{
    if (row < 0 || row >= rowCount())
        return CameraEntry();
    return *rows[size_t(row)];
}

int CameraListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows.size());
}

int CameraListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columns;
}

QVariant CameraListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount() ||
        index.column() >= columnCount())
        return QVariant();
    const CameraEntry& entry = *rows[static_cast<std::size_t>(index.row())];
    switch (index.column()) {
    case 0:
        return entry.cameraId;
    case 1:
        return entry.deviceId;
    case 2:
        return entry.model;
    case 3:
        return entry.serial;
    default:
        return statusText(entry);
    }
}

QVariant CameraListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return section;
    return section >= 0 && section < columns ? QVariant(tr(headers[section])) : QVariant();
}

QString CameraListModel::statusText(const CameraEntry& entry)
{
    if (entry.inUse == 0)
        return tr("free");
    return entry.opened ? tr("opened") : tr("in use");
}

void CameraListModel::setOpenCamera(Camera* cam)
{
    openSerial = cam->serialNumber();
}

void CameraListModel::clearOpenCamera()
{
    openSerial.clear();
}

void CameraListModel::sort(int column, Qt::SortOrder order)
{
    if (rows.empty())
        return;
    // Sorting positions first leaves the rows untouched when the order throws.
    std::vector<std::size_t> positions(rows.size());
    std::iota(positions.begin(), positions.end(), std::size_t{0});
    try {
        const EntryOrder entryOrder(column, order);
        std::sort(positions.begin(), positions.end(),
                  [&](std::size_t a, std::size_t b) { return entryOrder(*rows[a], *rows[b]); });
    } catch (const std::exception& error) {
        emit errorOccurred(QString::fromStdString(error.what()));
        return;
    }

    emit layoutAboutToBeChanged();
    std::vector<std::unique_ptr<CameraEntry>> sorted;
    std::vector<int> newRow(rows.size());
    for (std::size_t row = 0; row < positions.size(); ++row) {
        sorted.push_back(std::move(rows[positions[row]]));
        newRow[positions[row]] = static_cast<int>(row);
    }
    rows = std::move(sorted);
    // A selection in a view follows its camera to the new row.
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    for (const QModelIndex& old : before)
        after.append(index(newRow[static_cast<std::size_t>(old.row())], old.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

void CameraListModel::updateList()
{
    int32_t count = 0;
    if (CamCount(&count) != CAM_SUCCESS)
        throw std::runtime_error(tr("Can't get number of cameras.").toStdString());

    bool changed = false;
    std::vector<CameraEntry> fresh;
    if (count < 1) {
        if (!rows.empty()) {
            beginRemoveRows(QModelIndex(), 0, rowCount() - 1);
            rows.clear();
            endRemoveRows();
            changed = true;
        }
    } else {
        // The list: a 32-bit count, then count records of 112 bytes.
        std::vector<uint32_t> buffer(
            (sizeof(uint32_t) + static_cast<std::size_t>(count) * sizeof(CAM_CAMERA_INFO)) /
            sizeof(uint32_t));
        buffer[0] = static_cast<uint32_t>(count);
        if (CamList(reinterpret_cast<CAM_CAMERA_LIST*>(buffer.data())) != CAM_SUCCESS)
            throw std::runtime_error(tr("Can't get camera list.").toStdString());
        const uint32_t reported = std::min(buffer[0], static_cast<uint32_t>(count));
        const char* records = reinterpret_cast<const char*>(buffer.data()) + sizeof(uint32_t);
        for (uint32_t i = 0; i < reported; ++i) {
            CAM_CAMERA_INFO record;
            std::memcpy(&record, records + i * sizeof record, sizeof record);
            fresh.push_back(entryFromRecord(record));
        }
    }

    for (int i = 0; i < rowCount();) {
        CameraEntry& row = *rows[static_cast<std::size_t>(i)];
        const auto match = std::find_if(fresh.begin(), fresh.end(), [&](const CameraEntry& entry) {
            return entry.deviceId == row.deviceId;
        });
        if (match == fresh.end()) {
            beginRemoveRows(QModelIndex(), i, i);
            rows.erase(rows.begin() + i);
            endRemoveRows();
            changed = true;
            continue;
        }
        if (openSerial == match->serial)
            match->opened = true;
        if (*match != row) {
            row = *match;
            emit dataChanged(index(i, 0), index(i, StatusColumn));
            changed = true;
        }
        fresh.erase(match);
        ++i;
    }

    if (!fresh.empty()) {
        const int first = rowCount();
        beginInsertRows(QModelIndex(), first, first + static_cast<int>(fresh.size()) - 1);
        for (CameraEntry& entry : fresh)
            rows.push_back(std::make_unique<CameraEntry>(std::move(entry)));
        endInsertRows();
        changed = true;
    }

    if (changed)
        emit somethingChanged();
    emit rowToSelect(0);
}

void CameraListModel::refresh()
{
    try {
        updateList();
    } catch (const std::exception& error) {
        emit errorOccurred(QString::fromStdString(error.what()));
    }
}
