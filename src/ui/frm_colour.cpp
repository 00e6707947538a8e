#include "ui/frm_colour.h"
#include "ui/base/message_box.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

TfrmColour::TfrmColour(QWidget* parent, ColourTheme theme, const QString& rgbText,
                       bool thisSiteOnly)
    : QDialog(parent), m_theme(theme) {
    setObjectName("frmColour");
    auto* v = new QVBoxLayout(this);
    lblTitle = new QLabel(this);
    QFont bold = lblTitle->font();
    bold.setBold(true);
    lblTitle->setFont(bold);
    v->addWidget(lblTitle);

    auto* grid = new QGridLayout;
    const struct {
        const char* name;
        QSlider** slider;
        QLabel** value;
    } rows[] = {
        {"Red", &sldRed, &lblRed}, {"Green", &sldGreen, &lblGreen}, {"Blue", &sldBlue, &lblBlue}};
    int row = 0;
    for (const auto& r : rows) {
        grid->addWidget(new QLabel(r.name, this), row, 0);
        *r.slider = new QSlider(Qt::Horizontal, this);
        (*r.slider)->setRange(0, 255);
        (*r.slider)->setMinimumWidth(256);
        grid->addWidget(*r.slider, row, 1);
        *r.value = new QLabel("0", this);
        (*r.value)->setMinimumWidth(30);
        grid->addWidget(*r.value, row, 2);
        connect(*r.slider, &QSlider::valueChanged, this, &TfrmColour::UpdatePreview);
        ++row;
    }
    v->addLayout(grid);
    pnlPreview = new QWidget(this);
    pnlPreview->setMinimumHeight(48);
    pnlPreview->setAutoFillBackground(true);
    v->addWidget(pnlPreview);
    chkThisSite = new QCheckBox("Chosen colour will apply to this site only", this);
    chkThisSite->setChecked(thisSiteOnly);
    v->addWidget(chkThisSite);
    connect(chkThisSite, &QCheckBox::toggled, this, &TfrmColour::UpdateTitle);

    btnRestore = new TColorButton("Restore default colours", this);
    btnSave = new TColorButton("Save colours and close", this);
    btnCancel = new TColorButton("Cancel", this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnRestore);
    buttons->addStretch(1);
    buttons->addWidget(btnSave);
    buttons->addWidget(btnCancel);
    v->addLayout(buttons);
    connect(btnRestore, &QPushButton::clicked, this,
            [this] { SetColour(ThemeColour(ColourSet{}, m_theme)); });
    connect(btnSave, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    SetColour(rgbText);
    UpdateTitle();
}

void TfrmColour::SetColour(const QString& rgbText) {
    const Rgb c = ParseRgb(rgbText);
    sldRed->setValue(c.r);
    sldGreen->setValue(c.g);
    sldBlue->setValue(c.b);
    UpdatePreview();
}

QString TfrmColour::ChosenColour() const {
    return RgbText({sldRed->value(), sldGreen->value(), sldBlue->value()});
}

void TfrmColour::UpdatePreview() {
    lblRed->setText(QString::number(sldRed->value()));
    lblGreen->setText(QString::number(sldGreen->value()));
    lblBlue->setText(QString::number(sldBlue->value()));
    QPalette pal = palette();
    const QColor colour(sldRed->value(), sldGreen->value(), sldBlue->value());
    pal.setColor(QPalette::Window, colour);
    setPalette(pal);
    setAutoFillBackground(true);
    pnlPreview->setPalette(pal);
    const Rgb button = ButtonColour(ChosenColour());
    const Rgb hover = HoverColour(ChosenColour());
    for (TColorButton* b : findChildren<TColorButton*>()) {
        b->SetColours(QColor(button.r, button.g, button.b), QColor(hover.r, hover.g, hover.b));
    }
}

void TfrmColour::UpdateTitle() {
    const QString title = chkThisSite->isChecked()
                              ? "Set distinct form colour for this site only"
                              : "Set default form colour for sites without distinct colour";
    setWindowTitle(title);
    lblTitle->setText(title);
    FitWidthToTitle(this);
}
