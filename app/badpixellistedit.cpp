#include "badpixellistedit.h"

#include <QCoreApplication>

#include <utility>

BadpixelListEdit::BadpixelListEdit(QList<Badpixel> before, QList<Badpixel> after, Apply apply)
    : QUndoCommand(QCoreApplication::translate("MainWindow", "hot pixel list edit"))
    , before(std::move(before))
    , after(std::move(after))
    , apply(std::move(apply))
{}

void BadpixelListEdit::undo()
{
    apply(before);
    done = false;
}

void BadpixelListEdit::redo()
{
    // QUndoStack::push calls redo() once; the edit is already in the list.
    if (!done)
        apply(after);
    done = true;
}
