#include "ui/model/placement.h"

#include <algorithm>

QPoint MessageBoxTopLeft(const QRect& mainFrame, const QSize& boxFrame) {
    const int centreX = mainFrame.left() + mainFrame.width() / 2;
    const int centreY = mainFrame.top() + mainFrame.height() / 2;
    return {centreX - boxFrame.width() / 2, centreY - boxFrame.height()};
}

QPoint LoginDialogTopLeft(const QRect& mainFrame, const QSize& dialogFrame, int frameWidth,
                          int captionHeight) {
    const int centreX = mainFrame.left() + mainFrame.width() / 2;
    const int centreY = mainFrame.top() + mainFrame.height() / 2;
    const int left = std::max(10, centreX - dialogFrame.width() / 2);
    int top = centreY - dialogFrame.height();
    top = std::max(top, mainFrame.top() + 2 * frameWidth + captionHeight);
    return {left, std::max(10, top)};
}

DefaultDirButtons DefaultDirCaptions(int localPaneWidth) {
    if (localPaneWidth < kNarrowPaneWidth) {
        return {"Set as default dir for site", "Set as default dir for site", 152};
    }
    return {"Set as default local directory for this site",
            "Set as default remote directory for this site", 240};
}

QRect FitFrameInto(const QRect& client, const QMargins& frame, const QRect& area,
                   const QSize& minClient) {
    const int maxW = area.width() - frame.left() - frame.right();
    const int maxH = area.height() - frame.top() - frame.bottom();
    const int w = std::max(minClient.width(), std::min(client.width(), maxW));
    const int h = std::max(minClient.height(), std::min(client.height(), maxH));
    // Frame's top-left inside the area; when the frame is still too large, its top-left (the
    // title bar) stays visible.
    const int frameW = w + frame.left() + frame.right();
    const int frameH = h + frame.top() + frame.bottom();
    int left = std::min(client.left() - frame.left(), area.right() + 1 - frameW);
    int top = std::min(client.top() - frame.top(), area.bottom() + 1 - frameH);
    left = std::max(left, area.left());
    top = std::max(top, area.top());
    return {left + frame.left(), top + frame.top(), w, h};
}
