#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>

#include "ui/base/color_button.h"
#include "ui/model/options_model.h"

class TfrmMain;

// The Options dialog ("Vorlen FTP Settings"). It edits a working copy of the settings; "Save
// Options and Close" stores it, "Cancel" discards it.
class TfrmOptions : public QDialog {
    Q_OBJECT
public:
    explicit TfrmOptions(TfrmMain& main);

    const OptionsValues& Values() const { return m_values; }

    void AddAsciiClick();
    void DeleteAsciiClick();
    void ResetAsciiClick();
    void AddSummClick();
    void DeleteSummClick();
    void ResetSummClick();
    void AddUrlClick();
    void DeleteUrlClick();
    void ResetUrlClick();
    void ResetDirsClick();
    void SetFormColourClick();
    // Checks the local log folder when the field is left.
    void LocalLogdirExit();
    void SaveClick();

    QLineEdit* edtEditor = nullptr;
    QListWidget* lstAscii = nullptr;
    TColorButton* btnAddAscii = nullptr;
    TColorButton* btnDeleteAscii = nullptr;
    TColorButton* btnResetAscii = nullptr;
    QLineEdit* edtGzip = nullptr;
    QComboBox* cboExistingFiles = nullptr;
    QSpinBox* spnSimultaneous = nullptr;
    TColorButton* btnBrowseGzip = nullptr;
    QCheckBox* chkLogsEnabled = nullptr;
    QGroupBox* grpLogs = nullptr;
    QListWidget* lstSumm = nullptr;
    TColorButton* btnAddSumm = nullptr;
    TColorButton* btnDeleteSumm = nullptr;
    TColorButton* btnResetSumm = nullptr;
    QListWidget* lstUrl = nullptr;
    TColorButton* btnAddUrl = nullptr;
    TColorButton* btnDeleteUrl = nullptr;
    TColorButton* btnResetUrl = nullptr;
    QLineEdit* edtLocalLogdir = nullptr;
    TColorButton* btnBrowseLogdir = nullptr;
    QLineEdit* edtRemLogdir = nullptr;
    QLineEdit* edtRemLogdirAlt = nullptr;
    QLineEdit* edtFavRemDir = nullptr;
    QLineEdit* edtFavCaption = nullptr;
    TColorButton* btnResetDirs = nullptr;
    TColorButton* btnSetColour = nullptr;
    TColorButton* btnSave = nullptr;
    TColorButton* btnCancel = nullptr;

private:
    void ShowLists();
    void AskAndAdd(const QString& title, const QString& prompt, QStringList& list,
                   QString (*add)(QStringList&, const QString&));
    void DeleteSelected(QListWidget* widget, QStringList& list, const QString& noneSelected);
    void ResetList(const QString& question, QStringList& list, const QStringList& defaults);
    void CollectFields();
    bool Confirm(const QString& question);
    void Warn(const QString& text);

    TfrmMain& m_main;
    OptionsValues m_values;
};
