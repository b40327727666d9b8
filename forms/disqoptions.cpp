#include "forms/disqoptions.h"

#include "app/messages.h"

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

DisqOptions::DisqOptions(QWidget* parent, const optionvalues::Values& values)
    : QDialog(parent), m_values(values)
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
    connect(forgetSpeedButton, &QPushButton::clicked, this, [this] {
        m_forgetSpeed = true;
        showLearnedSpeed();
    });
    init();
}

void DisqOptions::languageChange()
{
    retranslateUi(this);
    if (labelLearnedSpeed)
        showLearnedSpeed();
}

void DisqOptions::init()
{
    locationLongitudeLineEdit->setValidator(decimalValidator(true, 1, this));
    locationLatitudeLineEdit->setValidator(decimalValidator(true, 1, this));
    minElevationLineEdit->setValidator(decimalValidator(false, 1, this));
    oneDegStepLineEdit->setValidator(decimalValidator(false, 2, this));
    dishDiameterLineEdit->setValidator(decimalValidator(false, 2, this));
    const optionvalues::Values& v = m_values;
    locationLongitudeLineEdit->setText(optionvalues::oneDecimalText(v.longitude));
    locationLatitudeLineEdit->setText(optionvalues::oneDecimalText(v.latitude));
    minElevationLineEdit->setText(optionvalues::oneDecimalText(v.minElevation));
    oneDegStepLineEdit->setText(optionvalues::twoDecimalText(v.oneDegreSteps));
    dishDiameterLineEdit->setText(optionvalues::twoDecimalText(v.dishDiameter));
    for (const auto& [box, key] : spinBoxes()) {
        box->setRange(int(key->minimum), int(key->maximum));
        box->setProperty("optionKey", QLatin1String(key->name)); // for the tests
        box->setValue(v.*key->whole);
    }
    checkBoxAGCAutoScale->setChecked(v.agcAutoScale);
    checkBoxAGCAutoScale_toggled(v.agcAutoScale);
    comboBoxDriveVersion->setCurrentIndex(v.driveVersion == 1 ? 1 : 0);
    showLearnedSpeed();
}

void DisqOptions::showLearnedSpeed()
{
    const auto text = [this](int ms) {
        return ms > 0 && !m_forgetSpeed ? tr("%1 ms/°").arg(ms) : tr("not yet");
    };
    labelLearnedSpeed->setText(
        tr("Learnt from gotos: %1 at 18 V, %2 at 13 V")
            .arg(text(m_values.learnedMsPerDegree18V), text(m_values.learnedMsPerDegree13V)));
    forgetSpeedButton->setEnabled(!m_forgetSpeed && (m_values.learnedMsPerDegree18V > 0 ||
                                                     m_values.learnedMsPerDegree13V > 0));
}

std::vector<std::pair<QSpinBox*, const optionvalues::Key*>> DisqOptions::spinBoxes() const
{
    const std::pair<QSpinBox*, const char*> boxes[] = {
        {spinBoxAGCMin, "Curves/AGCScaleMin"},
        {spinBoxAGCMax, "Curves/AGCScaleMax"},
        {maxTimeOfPosSpinBox, "MaxTimeOfPositioning"},
        {gapTimeSpinBox, "GAPTime"},
        {maxAngleSpinBox, "MaxAngle"},
        {spinBoxAcousticFreqMin, "AcousticFreqMinHz"},
        {spinBoxAcousticFreqMax, "AcousticFreqMaxHz"},
        {spinBoxAcousticVolume, "AcousticVolume"},
        {spinBoxAcousticScaleMin, "AcousticScaleMin"},
        {spinBoxAcousticScaleMax, "AcousticScaleMax"},
    };
    std::vector<std::pair<QSpinBox*, const optionvalues::Key*>> list;
    for (const auto& [box, name] : boxes)
        list.emplace_back(box, optionvalues::findKey(QLatin1String(name)));
    return list;
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
    for (const auto& [box, key] : spinBoxes())
        v.*key->whole = box->value();
    v.agcAutoScale = checkBoxAGCAutoScale->isChecked();
    v.driveVersion = comboBoxDriveVersion->currentIndex();
    v.learnedMsPerDegree13V = m_forgetSpeed ? 0 : m_values.learnedMsPerDegree13V;
    v.learnedMsPerDegree18V = m_forgetSpeed ? 0 : m_values.learnedMsPerDegree18V;
    return v;
}

void DisqOptions::okButton_clicked()
{
    QString problem;
    const optionvalues::Values v = fieldValues(&problem);
    // A site off the globe or a motor without steps would be stored and break
    // every angle after it: say so and keep the dialog open.
    if (problem.isEmpty())
        problem = optionvalues::problem(v, m_values);
    if (!problem.isEmpty()) {
        messages::warning(this, tr("Settings"), problem);
        return;
    }
    m_values = v;
    accept();
}
