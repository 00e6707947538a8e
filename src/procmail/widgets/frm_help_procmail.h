#pragma once

#include <QDialog>

class QPlainTextEdit;

// The mail definition language's description in a read-only text that follows the window size.
class TfrmHelpProcmail : public QDialog {
    Q_OBJECT
public:
    explicit TfrmHelpProcmail(QWidget* parent = nullptr);

    QPlainTextEdit* memHelp = nullptr;
};
