#include "forms/disqoptions.h"

#include "app/messages.h"
#include "forms/zenaraform.h"

#include <QDoubleValidator>

namespace {

// The fields are written and read with a decimal point whatever the user's
// language (a Russian locale would otherwise want a comma and refuse "45.0").
QDoubleValidator* decimalValidator(double low, double high, int decimals, QObject* parent)
{
    auto* validator = new QDoubleValidator(low, high, decimals, parent);
    validator->setNotation(QDoubleValidator::StandardNotation);
    validator->setLocale(QLocale::c());
    return validator;
}

} // namespace

DisqOptions::DisqOptions(zenaraForm* parent) : QDialog(parent), m_window(parent)
{
    setupUi(this);
    setObjectName(QStringLiteral("Settings"));
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
    locationLongitudeLineEdit->setValidator(decimalValidator(-180, 180, 1, this));
    locationLatitudeLineEdit->setValidator(decimalValidator(-180, 180, 1, this));
    oneDegStepLineEdit->setValidator(decimalValidator(1, 200, 2, this));
    const zenaraForm& w = *m_window;
    locationLongitudeLineEdit->setText(optionvalues::oneDecimalText(w.locationLongitude));
    locationLatitudeLineEdit->setText(optionvalues::oneDecimalText(w.locationLatitude));
    oneDegStepLineEdit->setText(optionvalues::twoDecimalText(w.oneDegreSteps));
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

optionvalues::Values DisqOptions::fieldValues() const
{
    optionvalues::Values v;
    v.oneDegreSteps = optionvalues::decimalValue(oneDegStepLineEdit->text());
    v.maxTimeOfPositioning = maxTimeOfPosSpinBox->value();
    v.gapTime = gapTimeSpinBox->value();
    v.maxAngle = maxAngleSpinBox->value();
    v.latitude = optionvalues::decimalValue(locationLatitudeLineEdit->text());
    v.longitude = optionvalues::decimalValue(locationLongitudeLineEdit->text());
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
    const optionvalues::Values v = fieldValues();
    // A site off the globe or a motor without steps would be stored and break
    // every angle after it: say so and keep the dialog open.
    const QString problem = optionvalues::problem(v);
    if (!problem.isEmpty()) {
        messages::warning(this, tr("Settings"), problem);
        return;
    }
    zenaraForm& w = *m_window;
    w.oneDegreSteps = v.oneDegreSteps;
    w.maxTimeOfPositioning = v.maxTimeOfPositioning;
    w.gapTime = v.gapTime;
    w.maxAngle = v.maxAngle;
    w.locationLatitude = v.latitude;
    w.locationLongitude = v.longitude;
    w.agcScaleMin = v.agcScaleMin;
    w.agcScaleMax = v.agcScaleMax;
    w.agcAutoScale = v.agcAutoScale;
    w.driveVersion = v.driveVersion;
    w.acousticFreqMinHz = v.acousticFreqMinHz;
    w.acousticFreqMaxHz = v.acousticFreqMaxHz;
    w.acousticVolume = v.acousticVolume;
    w.acousticScaleMin = v.acousticScaleMin;
    w.acousticScaleMax = v.acousticScaleMax;
    accept();
}
