#pragma once

#include <QDialog>
#include <QPoint>
#include <QRect>
#include <QSize>

#include "runtime/user_interface.h"

class QLabel;

// The small modal "Procmail generation" window shown while a recipe is generated. Its checking
// messages are placed on the screen, not over the main window.
class TfrmProcmailRecipe : public QDialog {
    Q_OBJECT

public:
    explicit TfrmProcmailRecipe(QWidget* parent = nullptr);

    // Opens the window, writes ".procmailrc" beside the MDL file and closes the window. True
    // when a recipe file was written; Completed tells whether it is free of errors.
    bool GenerateRecipe(const QString& mdlPath, bool* completed = nullptr);

    // A message box with this window as parent, horizontally centred on the screen with its
    // bottom edge at the screen's vertical centre.
    ModalResult ColorMsgDlg(const QString& text, MsgDlgType type, MsgDlgButtons buttons);

    static QPoint MessagePosition(const QRect& screen, const QSize& box);

private:
    QLabel* lblProgress;
};
