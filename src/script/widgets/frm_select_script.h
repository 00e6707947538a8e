#pragma once

#include <QDialog>
#include <QLineEdit>
#include <functional>

#include "ui/base/color_button.h"

// "Select Script": the name of the file holding a transfer script, typed or browsed for.
class TfrmSelectScript : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSelectScript(QWidget* parent = nullptr);

    // Shows the dialog modally, pre-filled with Initial; the field's text when it closes (empty
    // after Cancel).
    QString Ask(const QString& initial);

    // Opens the file browser; replaced in tests.
    std::function<QString(const QString& start)> browseForFile;

    QLineEdit* edtFilename = nullptr;
    TColorButton* btnBrowse = nullptr;
    TColorButton* btnCancel = nullptr;
    TColorButton* btnOk = nullptr;
};
