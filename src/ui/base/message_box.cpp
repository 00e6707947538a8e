#include "ui/base/message_box.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QMessageBox>
#include <QStyle>
#include <algorithm>

namespace {

QMessageBox::Icon IconFor(MsgDlgType type) {
    switch (type) {
        case MsgDlgType::Warning:
            return QMessageBox::Warning;
        case MsgDlgType::Error:
            return QMessageBox::Critical;
        case MsgDlgType::Information:
            return QMessageBox::Information;
        case MsgDlgType::Confirmation:
            return QMessageBox::Question;
        case MsgDlgType::Custom:
            break;
    }
    return QMessageBox::NoIcon;
}

struct ButtonPair {
    MsgDlgBtn ours;
    QMessageBox::StandardButton theirs;
    ModalResult result;
};

constexpr ButtonPair kButtons[] = {
    {MsgDlgBtn::Yes, QMessageBox::Yes, ModalResult::Yes},
    {MsgDlgBtn::No, QMessageBox::No, ModalResult::No},
    {MsgDlgBtn::OK, QMessageBox::Ok, ModalResult::OK},
    {MsgDlgBtn::Cancel, QMessageBox::Cancel, ModalResult::Cancel},
    {MsgDlgBtn::YesToAll, QMessageBox::YesToAll, ModalResult::YesToAll},
    {MsgDlgBtn::NoToAll, QMessageBox::NoToAll, ModalResult::NoToAll},
};

// The box settles its size only while it is shown, so it is placed whenever that changes.
class Placer : public QObject {
public:
    Placer(QWidget* box, const std::function<QPoint(const QSize&)>& place)
        : m_box(box), m_place(place) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_box && m_place &&
            (event->type() == QEvent::Show || event->type() == QEvent::Resize)) {
            m_box->move(m_place(m_box->frameGeometry().size()));
        }
        return false;
    }

private:
    QWidget* m_box;
    const std::function<QPoint(const QSize&)>& m_place;
};

}  // namespace

QString MessageTitle(MsgDlgType type) {
    switch (type) {
        case MsgDlgType::Warning:
            return QStringLiteral("Warning");
        case MsgDlgType::Error:
            return QStringLiteral("Error");
        case MsgDlgType::Information:
            return QStringLiteral("Information");
        case MsgDlgType::Confirmation:
            return QStringLiteral("Confirm");
        case MsgDlgType::Custom:
            break;
    }
    return QStringLiteral("Vorlen FTP");
}

ModalResult ShowMessageBox(QWidget* parent, const QString& title, const QString& text,
                           MsgDlgType type, MsgDlgButtons buttons,
                           const std::function<QPoint(const QSize&)>& place,
                           const std::function<void(QWidget*)>& style) {
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setIcon(IconFor(type));
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    QMessageBox::StandardButtons standard;
    for (const ButtonPair& pair : kButtons) {
        if (buttons.testFlag(pair.ours)) {
            standard |= pair.theirs;
        }
    }
    box.setStandardButtons(standard);
    if (style) {
        style(&box);
    }
    Placer placer(&box, place);
    box.installEventFilter(&placer);
    const int pressed = box.exec();
    for (const ButtonPair& pair : kButtons) {
        if (pressed == pair.theirs) {
            return pair.result;
        }
    }
    return ModalResult::None;
}

int TitleBarWidth(const QString& title) {
    // Title bars often use a bold face a little larger than the widgets' font; the buttons and
    // icon take about five caption heights.
    QFont font = QApplication::font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.1);
    const int caption = QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
    return QFontMetrics(font).horizontalAdvance(title) + 5 * std::max(caption, 20) + 16;
}

void FitWidthToTitle(QWidget* window) {
    const int needed = TitleBarWidth(window->windowTitle());
    if (window->minimumWidth() < needed) {
        window->setMinimumWidth(needed);
    }
    if (window->width() < needed) {
        window->resize(needed, window->height());
    }
}
