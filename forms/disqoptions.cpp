#include "forms/disqoptions.h"

#include "app/messages.h"
#include "forms/zenaraform.h"

#include <QRegularExpressionValidator>

namespace {

// The fields are shown with a decimal point whatever the user's language, and
// take one; where the language writes a comma, they take that too (elsewhere a
// comma is refused on OK).
QValidator* decimalValidator(bool negative, int decimals, QObject* parent)
{
    return new QRegularExpressionValidator(
        QRegularExpression(optionvalues::typingPattern(negative, decimals)), parent);
}

} // namespace

DisqOptions::DisqOptions(zenaraForm* parent) : QDialog(parent), m_window(parent)
{
    setupUi(this);
    setObjectName(QStringLiteral("Settings"));
    setLocale(QLocale::c()); // the window's numbers; the fields still take a comma where usual
    languageChange();
    resize(sizeHint().expandedTo(QSize(352, 491)));
    connect(okButton, &QPushButton::clicked, this, &DisqOptions::okButton_clicked);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(checkBoxAGCAutoScale, &QCheckBox::toggled, this,
            &DisqOptions::checkBoxAGCAutoScale_toggled);
    init();
}

void DisqOptions::languageChange()
{
    retranslateUi(this);
}

void DisqOptions::init()
{
    locationLongitudeLineEdit->setValidator(decimalValidator(true, 1, this));
    locationLatitudeLineEdit->setValidator(decimalValidator(true, 1, this));
    minElevationLineEdit->setValidator(decimalValidator(false, 1, this));
    oneDegStepLineEdit->setValidator(decimalValidator(false, 2, this));
    dishDiameterLineEdit->setValidator(decimalValidator(false, 2, this));
    const zenaraForm& w = *m_window;
    locationLongitudeLineEdit->setText(optionvalues::oneDecimalText(w.locationLongitude));
    locationLatitudeLineEdit->setText(optionvalues::oneDecimalText(w.locationLatitude));
    minElevationLineEdit->setText(optionvalues::oneDecimalText(w.minElevation));
    oneDegStepLineEdit->setText(optionvalues::twoDecimalText(w.oneDegreSteps));
    dishDiameterLineEdit->setText(optionvalues::twoDecimalText(w.dishDiameter));
    spinBoxAGCMin->setValue(w.agcScaleMin);
    spinBoxAGCMax->setValue(w.agcScaleMax);
    maxTimeOfPosSpinBox->setValue(w.maxTimeOfPositioning);
    gapTimeSpinBox->setValue(w.gapTime);
    maxAngleSpinBox->setValue(w.maxAngle);
    spinBoxAcousticFreqMin->setValue(w.acousticFreqMinHz);
    spinBoxAcousticFreqMax->setValue(w.acousticFreqMaxHz);
    spinBoxAcousticVolume->setValue(w.acousticVolume);
    spinBoxAcousticScaleMin->setValue(w.acousticScaleMin);
    spinBoxAcousticScaleMax->setValue(w.acousticScaleMax);
    checkBoxAGCAutoScale->setChecked(w.agcAutoScale);
    checkBoxAGCAutoScale_toggled(w.agcAutoScale);
    comboBoxDriveVersion->setCurrentIndex(w.driveVersion == 1 ? 1 : 0);
}

void DisqOptions::checkBoxAGCAutoScale_toggled(bool on)
{
    spinBoxAGCMin->setEnabled(!on);
    spinBoxAGCMax->setEnabled(!on);
}

optionvalues::Values DisqOptions::fieldValues(QString* problem) const
{
    optionvalues::Values v;
    // A field that holds no number is said so, never taken as 0.
    const struct
    {
        const QLineEdit* field;
        double* value;
        const char* message;
    } decimals[] = {
        {locationLongitudeLineEdit, &v.longitude,
         QT_TR_NOOP("The longitude \"%1\" is not a number (degrees, east positive, such as "
                    "43.5 or -3.7).")},
        {locationLatitudeLineEdit, &v.latitude,
         QT_TR_NOOP("The latitude \"%1\" is not a number (degrees, north positive, such as "
                    "45.0 or -33.9).")},
        {minElevationLineEdit, &v.minElevation,
         QT_TR_NOOP("The minimum elevation \"%1\" is not a number (degrees, such as 5.0).")},
        {oneDegStepLineEdit, &v.oneDegreSteps,
         QT_TR_NOOP("The steps per degree \"%1\" are not a number (such as 9.60).")},
        {dishDiameterLineEdit, &v.dishDiameter,
         QT_TR_NOOP("The dish diameter \"%1\" is not a number (metres, such as 0.80).")},
    };
    for (const auto& d : decimals) {
        if (!optionvalues::parseDecimal(d.field->text(), QLocale(), d.value) && problem &&
            problem->isEmpty())
            *problem = tr(d.message).arg(d.field->text());
    }
    v.maxTimeOfPositioning = maxTimeOfPosSpinBox->value();
    v.gapTime = gapTimeSpinBox->value();
    v.maxAngle = maxAngleSpinBox->value();
    v.agcScaleMin = spinBoxAGCMin->value();
    v.agcScaleMax = spinBoxAGCMax->value();
    v.agcAutoScale = checkBoxAGCAutoScale->isChecked();
    v.driveVersion = comboBoxDriveVersion->currentIndex();
    v.acousticFreqMinHz = spinBoxAcousticFreqMin->value();
    v.acousticFreqMaxHz = spinBoxAcousticFreqMax->value();
    v.acousticVolume = spinBoxAcousticVolume->value();
    v.acousticScaleMin = spinBoxAcousticScaleMin->value();
    v.acousticScaleMax = spinBoxAcousticScaleMax->value();
    return v;
}

void DisqOptions::okButton_clicked()
{
    QString problem;
    const optionvalues::Values v = fieldValues(&problem);
    // A site off the globe or a motor without steps would be stored and break
    // every angle after it: say so and keep the dialog open.
    if (problem.isEmpty())
        problem = optionvalues::problem(v);
    if (!problem.isEmpty()) {
        messages::warning(this, tr("Settings"), problem);
        return;
    }
    m_window->setOptionValues(v);
    accept();
}
