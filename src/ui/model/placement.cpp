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
