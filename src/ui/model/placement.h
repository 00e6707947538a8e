#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

// Where dialogs go relative to the main window, and the layout rules that depend on sizes.
// Rectangles are frame rectangles (with the window decoration).

// Centred horizontally on the main window with the bottom edge at its vertical centre.
QPoint MessageBoxTopLeft(const QRect& mainFrame, const QSize& boxFrame);

// Centred horizontally (left at least 10), top at the main window's vertical centre minus the
// dialog's height, but not above the main window's top + 2 x frame + caption height, and at
// least 10.
QPoint LoginDialogTopLeft(const QRect& mainFrame, const QSize& dialogFrame, int frameWidth,
                          int captionHeight);

// The default-directory buttons' captions and width for a local pane of the given width.
struct DefaultDirButtons {
    QString localCaption;
    QString remoteCaption;
    int width = 0;
};
inline constexpr int kNarrowPaneWidth = 381;
DefaultDirButtons DefaultDirCaptions(int localPaneWidth);

// The client rectangle for a window whose frame (client plus Frame margins) must lie inside
// Area: shrunk where the frame is larger than the area (not below MinClient), then moved in.
QRect FitFrameInto(const QRect& client, const QMargins& frame, const QRect& area,
                   const QSize& minClient);
