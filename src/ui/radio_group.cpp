#include "ui/radio_group.h"

#include <QBoxLayout>
#include <QRadioButton>
#include <QSignalBlocker>

RadioGroup::RadioGroup(const QString& title, const QStringList& items, Qt::Orientation orientation,
                       QWidget* parent)
    : QGroupBox(title, parent), m_group(new QButtonGroup(this)) {
    auto* layout = new QBoxLayout(
        orientation == Qt::Horizontal ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom, this);
    layout->setContentsMargins(6, title.isEmpty() ? 4 : 6, 6, 4);
    layout->setSpacing(orientation == Qt::Horizontal ? 8 : 2);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        m_group->addButton(button, i);
        layout->addWidget(button);
    }
    if (orientation == Qt::Horizontal) {
        layout->addStretch(1);
    }
    connect(m_group, &QButtonGroup::idClicked, this, &RadioGroup::itemIndexChanged);
}

void RadioGroup::SetItemIndex(int index) {
    const QSignalBlocker block(m_group);
    if (QAbstractButton* button = m_group->button(index)) {
        button->setChecked(true);
    }
}
