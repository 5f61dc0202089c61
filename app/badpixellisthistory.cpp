#include "badpixellisthistory.h"

#include "badpixellistedit.h"
#include "badpixellistmodel.h"

#include <QScopedValueRollback>
#include <QTimer>

#include <algorithm>
#include <tuple>

namespace {

bool sameEntries(QList<Badpixel> a, QList<Badpixel> b)
{
    const auto less = [](const Badpixel& l, const Badpixel& r) {
        return std::tie(l.x, l.y, l.pixelclass) < std::tie(r.x, r.y, r.pixelclass);
    };
    std::sort(a.begin(), a.end(), less);
    std::sort(b.begin(), b.end(), less);
    return std::equal(a.cbegin(), a.cend(), b.cbegin(), b.cend(),
                      [](const Badpixel& l, const Badpixel& r) {
                          return l.x == r.x && l.y == r.y && l.pixelclass == r.pixelclass;
                      });
}

} // namespace

BadpixelListHistory::BadpixelListHistory(BadpixelListModel* model, QObject* parent)
    : QObject(parent)
    , model(model)
    , recorded(model->badpixelList())
{
    connect(model, &QAbstractItemModel::rowsInserted, this, &BadpixelListHistory::listChanged);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &BadpixelListHistory::listChanged);
    connect(model, &QAbstractItemModel::dataChanged, this, &BadpixelListHistory::listChanged);
    connect(model, &QAbstractItemModel::layoutChanged, this, &BadpixelListHistory::listChanged);
    connect(model, &QAbstractItemModel::modelReset, this, &BadpixelListHistory::listChanged);
}

void BadpixelListHistory::undo()
{
    recordPendingChange();
    undoStack.undo();
    announce();
}

void BadpixelListHistory::redo()
{
    recordPendingChange();
    undoStack.redo();
    announce();
}

void BadpixelListHistory::reset()
{
    pending = false;
    undoStack.clear();
    recorded = model->badpixelList();
    announce();
}

void BadpixelListHistory::listChanged()
{
    if (restoring || pending)
        return;
    pending = true;
    QTimer::singleShot(0, this, &BadpixelListHistory::recordPendingChange);
    announce();
}

void BadpixelListHistory::recordPendingChange()
{
    if (!pending)
        return;
    pending = false;
    const QList<Badpixel> current = model->badpixelList();
    const bool changed = !sameEntries(recorded, current);
    const QList<Badpixel> before = recorded;
    recorded = current;
    if (changed)
        undoStack.push(new BadpixelListEdit(
            before, current, [this](const QList<Badpixel>& list) { restore(list); }));
    announce();
}

void BadpixelListHistory::restore(const QList<Badpixel>& list)
{
    const QScopedValueRollback<bool> guard(restoring, true);
    model->setBadpixelList(list);
    recorded = list;
}

void BadpixelListHistory::announce()
{
    emit canUndoChanged(pending || undoStack.canUndo());
    emit canRedoChanged(!pending && undoStack.canRedo());
}
