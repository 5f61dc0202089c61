#pragma once

#include "badpixel.h"

#include <QList>
#include <QObject>
#include <QUndoStack>

class BadpixelListModel;

// Undo and redo of the user's edits of the hot pixel list, back to the list
// as it was last read from or written to the camera or a file. Everything the
// list goes through in one pass of the event loop (a clear, an import, the
// entries of a detection) is one step; a mere re-sort is none.
class BadpixelListHistory : public QObject
{
    Q_OBJECT

public:
    explicit BadpixelListHistory(BadpixelListModel* model, QObject* parent = nullptr);

signals:
    void canUndoChanged(bool canUndo);
    void canRedoChanged(bool canRedo);

public slots:
    void undo();
    void redo();
    // Starts the history afresh at the list as it is now.
    void reset();

private:
    void listChanged();
    void recordPendingChange();
    void restore(const QList<Badpixel>& list);
    // A change not yet recorded can already be undone, and ends any redo.
    void announce();

    BadpixelListModel* const model;
    QUndoStack undoStack;
    QList<Badpixel> recorded;
    bool pending = false;
    bool restoring = false;
};
