#include "ui/base/color_button.h"

TColorButton::TColorButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    SetColours(QColor(239, 239, 255), QColor(255, 255, 255));
}

void TColorButton::SetColours(const QColor& back, const QColor& hover) {
    m_back = back;
    m_hover = hover;
    // A style sheet keeps the colours on every platform style; the hover colour needs no event
    // handling of our own.
    setStyleSheet(QString("TColorButton { background-color: %1; border: 1px solid #8a8a9a;"
                          " border-radius: 3px; padding: 3px 8px; }"
                          "TColorButton:hover { background-color: %2; }"
                          "TColorButton:pressed { background-color: %3; }"
                          "TColorButton:disabled { color: #8a8a8a; }")
                      .arg(back.name(), hover.name(), back.darker(115).name()));
}
