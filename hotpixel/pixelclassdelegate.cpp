#include "pixelclassdelegate.h"

#include <QComboBox>
#include <QIcon>

PixelclassDelegate::PixelclassDelegate(QObject* parent)
    : QItemDelegate(parent)
{}

// Every row is offered all three names; the model refuses "ignore".
QWidget* PixelclassDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                          const QModelIndex&) const
{
    auto* editor = new QComboBox(parent);
    editor->addItem(QIcon(), tr("factory"));
    editor->addItem(QIcon(), tr("user"));
    editor->addItem(QIcon(), tr("ignore"));
    return editor;
}

void PixelclassDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* comboBox = qobject_cast<QComboBox*>(editor);
    if (!comboBox) {
        return;
    }
    const QString name = index.model()->data(index, Qt::EditRole).toString();
    comboBox->setCurrentIndex(comboBox->findText(name, Qt::MatchCaseSensitive));
}

void PixelclassDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                      const QModelIndex& index) const
{
    auto* comboBox = qobject_cast<QComboBox*>(editor);
    if (!comboBox) {
        return;
    }
    model->setData(index, comboBox->currentText(), Qt::EditRole);
}

void PixelclassDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                              const QModelIndex&) const
{
    editor->setGeometry(option.rect);
}
