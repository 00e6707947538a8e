#pragma once

#include <QPoint>
#include <QSize>
#include <QString>
#include <functional>

#include "runtime/user_interface.h"

class QWidget;

// The program's one message box: the icon and buttons of a message type, plain text always (a
// server reply or a file name holding "<" shows as written, never as markup), placed by Place
// whenever the box settles its size, styled by Style before it is shown.
ModalResult ShowMessageBox(QWidget* parent, const QString& title, const QString& text,
                           MsgDlgType type, MsgDlgButtons buttons,
                           const std::function<QPoint(const QSize&)>& place,
                           const std::function<void(QWidget*)>& style = {});

// The window title the main window gives a message type.
QString MessageTitle(MsgDlgType type);

// The width a window needs for its whole title to show in the title bar (the title text plus
// room for the window's icon and buttons).
int TitleBarWidth(const QString& title);
// Widens Window (and its minimum width) so its current title shows whole.
void FitWidthToTitle(QWidget* window);
