#include "forms/arcpanel.h"

#include "core/arccalibrator.h"
#include "core/remoterequest.h"
#include "core/session.h"

#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include <cmath>

namespace {

QString said(const char* text)
{
    return QCoreApplication::translate("zenaraForm", text);
}

QString signedDegrees(double value, double sigma)
{
    return QStringLiteral("%1° ±%2").arg(value, 0, 'f', 2).arg(sigma, 0, 'f', 2);
}

} // namespace

ArcPanel::ArcPanel(core::Session& session, const Widgets& widgets, QObject* parent)
    : QObject(parent), m_session(session), m_w(widgets)
{
    connect(m_w.calibrate, &QPushButton::clicked, this, &ArcPanel::calibrate);
    connect(m_w.adjusted, &QPushButton::clicked, this, [this] {
        positioner::ArcCalibration c = m_session.calibration();
        c.assumeAdjusted();
        m_session.setCalibration(c);
    });
    connect(m_w.reset, &QPushButton::clicked, this, [this] {
        positioner::ArcCalibration c;
        c.offsets = m_session.calibration().offsets; // the user's own stay
        m_session.setCalibration(c);
    });
    connect(m_w.keepOffset, &QPushButton::clicked, this, [this] {
        const double position = m_session.chosenPosition();
        if (!std::isfinite(position))
            return;
        positioner::ArcCalibration c = m_session.calibration();
        c.setOffset(position, m_w.offset->value());
        m_session.setCalibration(c);
    });
    connect(&session.calibrator(), &core::ArcCalibrator::progress, this, &ArcPanel::showProgress);
    // Whichever front end started it.
    connect(&session.calibrator(), &core::ArcCalibrator::finished, this,
            [this] { setRunning(false); });
    connect(&session, &core::Session::calibrationChanged, this, &ArcPanel::showCalibration);
    connect(&session, &core::Session::satelliteChosen, this, &ArcPanel::showOffset);
    showCalibration();
    showOffset();
}

void ArcPanel::setRunning(bool running)
{
    // What would be overwritten when the round ends waits until it has.
    for (QWidget* w : {static_cast<QWidget*>(m_w.calibrate), static_cast<QWidget*>(m_w.adjusted),
                       static_cast<QWidget*>(m_w.reset), static_cast<QWidget*>(m_w.keepOffset)})
        w->setEnabled(!running);
    if (!running)
        showOffset();
}

void ArcPanel::calibrate()
{
    QVector<double> satellites;
    for (const QString& word : m_w.satellites->text().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        double degrees = 0;
        if (!remote::parsePosition(word, &degrees)) {
            m_w.status->setText(
                said(QT_TRANSLATE_NOOP(
                         "zenaraForm",
                         "Calibrate the arc: \"%1\" is not a position such as 13.0E or "
                         "5.0W"))
                    .arg(word));
            return;
        }
        satellites.append(degrees);
    }
    const core::Result result = m_session.calibrator().calibrate(satellites);
    if (!result.ok())
        m_w.status->setText(result.warning);
}

void ArcPanel::showProgress(const QString& doing, int done, int total, int secondsLeft)
{
    if (doing.isEmpty())
        return; // over: the calibration's own text follows
    setRunning(true);
    m_w.status->setText(
        said(QT_TRANSLATE_NOOP("zenaraForm", "%1 (satellite %2 of %3, about %4 min %5 s left)"))
            .arg(doing)
            .arg(done + 1)
            .arg(total)
            .arg(secondsLeft / 60)
            .arg(secondsLeft % 60, 2, 10, QLatin1Char('0')));
}

QString ArcPanel::statusText(const core::Session& session)
{
    const positioner::ArcCalibration& c = session.calibration();
    if (!c.fitted)
        return c.rounds > 0 ? c.notes.join(QLatin1Char('\n'))
                            : said(QT_TRANSLATE_NOOP(
                                  "zenaraForm", "Not calibrated: gotos go to the USALS angles."));
    static const char* const Names[] = {QT_TRANSLATE_NOOP("zenaraForm", "motor zero"),
                                        QT_TRANSLATE_NOOP("zenaraForm", "azimuth"),
                                        QT_TRANSLATE_NOOP("zenaraForm", "elevation"),
                                        QT_TRANSLATE_NOOP("zenaraForm", "declination")};
    QStringList errors;
    for (int i = 0; i < positioner::MountErrors::Count; ++i)
        errors.append(QStringLiteral("%1 %2%3").arg(
            said(Names[i]), signedDegrees(c.errors[i], c.sigma[i]),
            c.determined[i] ? QString()
                            : said(QT_TRANSLATE_NOOP("zenaraForm", " (not yet told)"))));
    QStringList lines = {said(QT_TRANSLATE_NOOP("zenaraForm", "Round %1: %2"))
                             .arg(c.rounds)
                             .arg(errors.join(QStringLiteral(", ")))};
    lines += c.advice(session.options().latitude);
    const positioner::MountErrors& asked = c.pending;
    if (!c.testTilt &&
        (asked.axisAzimuth != 0 || asked.axisElevation != 0 || asked.declination != 0))
        lines += said(QT_TRANSLATE_NOOP("zenaraForm", "Then click Adjusted, or Calibrate the arc "
                                                      "to measure again"));
    return lines.join(QLatin1Char('\n'));
}

void ArcPanel::showCalibration()
{
    m_w.status->setText(statusText(m_session));
    // What the round could not tell, for whoever asks.
    m_w.status->setToolTip(m_session.calibration().notes.join(QLatin1Char('\n')));
    showOffset();
}

void ArcPanel::showOffset()
{
    const double position = m_session.chosenPosition();
    const bool settable = std::isfinite(position) && !m_session.calibrator().running();
    m_w.offset->setEnabled(settable);
    m_w.keepOffset->setEnabled(settable);
    m_w.offset->setValue(std::isfinite(position) ? m_session.calibration().offsetOf(position) : 0);
}
