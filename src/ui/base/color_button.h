#pragma once

#include <QColor>
#include <QPushButton>

// A push button with a back colour and a lighter colour while the pointer is over it.
class TColorButton : public QPushButton {
    Q_OBJECT
public:
    explicit TColorButton(const QString& caption, QWidget* parent = nullptr);

    void SetColours(const QColor& back, const QColor& hover);
    QColor BackColour() const { return m_back; }
    QColor HoverColour() const { return m_hover; }

private:
    QColor m_back;
    QColor m_hover;
};
