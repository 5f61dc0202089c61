#pragma once

#include "badpixel.h"

#include <QList>
#include <QUndoCommand>

#include <functional>

// One undoable step of the hot pixel list: the whole list before and after
// it. Lists hold at most a few thousand entries, so whole copies are cheap
// and cover every kind of edit alike.
class BadpixelListEdit : public QUndoCommand
{
public:
    using Apply = std::function<void(const QList<Badpixel>&)>;

    // The change has already happened when the command is pushed.
    BadpixelListEdit(QList<Badpixel> before, QList<Badpixel> after, Apply apply);

    void undo() override;
    void redo() override;

private:
    QList<Badpixel> before;
    QList<Badpixel> after;
    Apply apply;
    bool done = true;
};
