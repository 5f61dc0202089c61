#pragma once

#include <QString>

class ModalRunner;
class QWidget;

// Asks for the name of a hot pixel list file. The chooser starts in the
// folder used last (kept across runs) and a name typed without a suffix gets
// the one of the file type, so that the file shows under the type's filter.
class ListFileChooser
{
public:
    enum Mode { Open, Save };

    // Empty when the user cancelled.
    QString choose(ModalRunner& runner, QWidget* parent, Mode mode, const QString& caption,
                   const QString& filter, const QString& suffix) const;

private:
    QString lastFolder() const;
};
