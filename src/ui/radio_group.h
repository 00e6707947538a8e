#pragma once

#include <QButtonGroup>
#include <QGroupBox>
#include <QStringList>

// A titled group of radio buttons with one selected item, read and set by index.
class RadioGroup : public QGroupBox {
    Q_OBJECT
public:
    RadioGroup(const QString& title, const QStringList& items, Qt::Orientation orientation,
               QWidget* parent = nullptr);

    int ItemIndex() const { return m_group->checkedId(); }
    // Selects without emitting itemIndexChanged (loading settings must not write them back).
    void SetItemIndex(int index);
    int Count() const { return int(m_group->buttons().size()); }
    QAbstractButton* Button(int index) const { return m_group->button(index); }

signals:
    // The person chose another item.
    void itemIndexChanged(int index);

private:
    QButtonGroup* m_group;
};
