#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QMenu;

// The hot pixel list files used last, newest first, kept across runs and
// offered in a menu of their own.
class RecentListFiles : public QObject
{
    Q_OBJECT

public:
    explicit RecentListFiles(QMenu* menu, QObject* parent = nullptr);

    QStringList files() const;

public slots:
    void add(const QString& filename);

signals:
    void fileChosen(const QString& filename);

private:
    void fillMenu();

    QMenu* const menu;
};
