#pragma once

#include <QItemDelegate>

// Editor of the hot pixel table's class column: a combo box offering the
// class names, whose choice goes to the model's setData.
class PixelclassDelegate : public QItemDelegate
{
    Q_OBJECT

public:
    explicit PixelclassDelegate(QObject* parent = nullptr);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
};
