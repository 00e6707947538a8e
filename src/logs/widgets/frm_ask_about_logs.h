#pragma once

#include <QDialog>
#include <QLabel>
#include <QListWidget>

#include "logs/log_options.h"
#include "ui/base/color_button.h"

class UserInterface;

// "Set Log Processing Options": the domain of the prefix, the extensions summed instead of
// listed and the URL texts left out, for this run.
class TfrmAskAboutLogs : public QDialog {
    Q_OBJECT
public:
    TfrmAskAboutLogs(UserInterface& ui, QWidget* parent = nullptr);

    // Shows the dialog modally; true on OK, with Options changed as the person chose.
    bool Ask(LogOptions& options);

    QLabel* lblDomain = nullptr;
    QLabel* lblPrefix = nullptr;
    QListWidget* lstExtensions = nullptr;
    QListWidget* lstFilters = nullptr;
    TColorButton* btnDomain = nullptr;
    TColorButton* btnAddExtension = nullptr;
    TColorButton* btnDeleteExtension = nullptr;
    TColorButton* btnDefaultExtensions = nullptr;
    TColorButton* btnAddFilter = nullptr;
    TColorButton* btnDeleteFilter = nullptr;
    TColorButton* btnDefaultFilters = nullptr;
    TColorButton* btnOk = nullptr;
    TColorButton* btnCancel = nullptr;

private:
    void Show();
    // Shows a rule's message, if any, and the lists again.
    void After(const QString& message);
    static QString Selected(const QListWidget* list);

    UserInterface& m_ui;
    LogOptions m_options;
};
