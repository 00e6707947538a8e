#include "procmail/widgets/frm_procmail_recipe.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QVBoxLayout>

#include "procmail/recipe_file.h"

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

class PlaceOnScreen : public QObject {
public:
    explicit PlaceOnScreen(QWidget* box) : m_box(box) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_box &&
            (event->type() == QEvent::Show || event->type() == QEvent::Resize)) {
            const QScreen* screen =
                m_box->screen() != nullptr ? m_box->screen() : QApplication::primaryScreen();
            if (screen != nullptr) {
                m_box->move(TfrmProcmailRecipe::MessagePosition(screen->geometry(),
                                                                m_box->frameGeometry().size()));
            }
        }
        return false;
    }

private:
    QWidget* m_box;
};

}  // namespace

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
    QMessageBox box(this);
    box.setWindowTitle(windowTitle());
    box.setIcon(IconFor(type));
    // The texts double their ampersands for dialogs that take "&" as a mnemonic; a message
    // box label shows text as it is, so the doubling is undone here. Plain text, so that a
    // statement such as "SPAMTEXT <b>" is shown rather than read as markup.
    QString shown = text;
    shown.replace("&&", "&");
    box.setTextFormat(Qt::PlainText);
    box.setText(shown);
    QMessageBox::StandardButtons standard;
    for (const ButtonPair& pair : kButtons) {
        if (buttons.testFlag(pair.ours)) {
            standard |= pair.theirs;
        }
    }
    box.setStandardButtons(standard);
    // The box settles its size only while it is shown, so it is placed whenever that changes.
    PlaceOnScreen placer(&box);
    box.installEventFilter(&placer);
    const int pressed = box.exec();
    for (const ButtonPair& pair : kButtons) {
        if (pressed == pair.theirs) {
            return pair.result;
        }
    }
    return ModalResult::None;
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
