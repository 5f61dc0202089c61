#include "pixelclassdelegate.h"

#include "badpixel.h"

#include <QComboBox>

PixelclassDelegate::PixelclassDelegate(QObject* parent)
    : QItemDelegate(parent)
{}

// Every row is offered all three classes; the model refuses "ignore". Each
// item shows the translated name and carries the one the model takes.
QWidget* PixelclassDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                          const QModelIndex&) const
{
    auto* editor = new QComboBox(parent);
    for (const Pixelclass pixelclass : {Factory, User, Ignore}) {
        const Badpixel entry{0, 0, pixelclass};
        editor->addItem(entry.displayName(), entry.className());
    }
    return editor;
}

void PixelclassDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* comboBox = qobject_cast<QComboBox*>(editor);
    if (!comboBox) {
        return;
    }
    const QString name = index.model()->data(index, Qt::EditRole).toString();
    comboBox->setCurrentIndex(comboBox->findData(name));
}

void PixelclassDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                      const QModelIndex& index) const
{
    auto* comboBox = qobject_cast<QComboBox*>(editor);
    if (!comboBox) {
        return;
    }
    model->setData(index, comboBox->currentData(), Qt::EditRole);
}

void PixelclassDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                              const QModelIndex&) const
{
    editor->setGeometry(option.rect);
}
