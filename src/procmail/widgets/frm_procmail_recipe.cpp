#include "procmail/widgets/frm_procmail_recipe.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include "procmail/recipe_file.h"
#include "ui/base/message_box.h"

TfrmProcmailRecipe::TfrmProcmailRecipe(QWidget* parent) : QDialog(parent) {
    setObjectName("frmProcmailRecipe");
    setWindowTitle("Procmail generation");
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    lblProgress = new QLabel("procmail recipe generation in progress ...", this);
    lblProgress->setObjectName("lblProgress");
    layout->addWidget(lblProgress);
}

QPoint TfrmProcmailRecipe::MessagePosition(const QRect& screen, const QSize& box) {
    return {screen.x() + screen.width() / 2 - box.width() / 2,
            screen.y() + screen.height() / 2 - box.height()};
}

ModalResult TfrmProcmailRecipe::ColorMsgDlg(const QString& text, MsgDlgType type,
                                            MsgDlgButtons buttons) {
    // The texts double their ampersands for dialogs that take "&" as a mnemonic; a message
    // box label shows text as it is, so the doubling is undone here.
    QString shown = text;
    shown.replace("&&", "&");
    return ShowMessageBox(this, windowTitle(), shown, type, buttons, [this](const QSize& size) {
        const QScreen* screen =
            this->screen() != nullptr ? this->screen() : QApplication::primaryScreen();
        return screen != nullptr ? MessagePosition(screen->geometry(), size) : QPoint();
    });
}

bool TfrmProcmailRecipe::GenerateRecipe(const QString& mdlPath, bool* completed) {
    show();
    QApplication::processEvents();
    const bool written = GenerateRecipeAsFile(
        mdlPath,
        [this](const RecipeMessage& message) {
            ColorMsgDlg(message.text, message.type, MsgDlgBtn::OK);
        },
        completed);
    close();
    return written;
}
