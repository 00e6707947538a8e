#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QSlider>

#include "ui/base/color_button.h"
#include "ui/model/colour_theme.h"

// The colour dialog: three sliders with a live preview. "Save colours and close" hands the
// chosen "R G B" back, for this site only or for all sites without their own colour.
class TfrmColour : public QDialog {
    Q_OBJECT
public:
    TfrmColour(QWidget* parent, ColourTheme theme, const QString& rgbText, bool thisSiteOnly);

    QString ChosenColour() const;
    bool ThisSiteOnly() const { return chkThisSite->isChecked(); }
    void SetColour(const QString& rgbText);

    QSlider* sldRed = nullptr;
    QSlider* sldGreen = nullptr;
    QSlider* sldBlue = nullptr;
    QLabel* lblRed = nullptr;
    QLabel* lblGreen = nullptr;
    QLabel* lblBlue = nullptr;
    QLabel* lblTitle = nullptr;
    QWidget* pnlPreview = nullptr;
    QCheckBox* chkThisSite = nullptr;
    TColorButton* btnRestore = nullptr;
    TColorButton* btnSave = nullptr;
    TColorButton* btnCancel = nullptr;

private:
    void UpdatePreview();
    void UpdateTitle();

    ColourTheme m_theme;
};
