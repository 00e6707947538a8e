#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <functional>

#include "runtime/user_interface.h"
#include "ui/base/color_button.h"

// "Procmail confirmation": whether to run the recipe's edit cycle, in which local folder, or to
// regenerate from a local file instead.
class TfrmAskProcmail : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAskProcmail(QWidget* parent = nullptr);

    // Shows the dialog modally with the texts of Query; how it was closed.
    ProcmailAnswer Ask(const ProcmailQuery& query);

    // Opens the folder browser; replaced in tests.
    std::function<QString(const QString& start)> browseForFolder;

    QLineEdit* edtDirectory = nullptr;
    QLabel* lblAlternative = nullptr;
    QLabel* lblLocalTimestamp = nullptr;
    QLabel* lblRemoteTimestamp = nullptr;
    TColorButton* btnYes = nullptr;
    TColorButton* btnNo = nullptr;
    TColorButton* btnBrowse = nullptr;
    TColorButton* btnRegenerate = nullptr;

private:
    ProcmailChoice m_choice = ProcmailChoice::No;
};
