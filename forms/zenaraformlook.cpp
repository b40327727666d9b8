// How the window looks and reads: its colours, the order of its controls,
// the connections of their signals, the Site view, and the readings painted
// on its flags and meters.

#include "app/embeddedimages.h"
#include "forms/phonemeter.h"
#include "forms/siteview.h"
#include "forms/zenaraform.h"
#include "lists/satellitelist.h"
#include "monitor/contrast.h"
#include "monitor/linkmargin.h"
#include "monitor/networkcheck.h"
#include "positioner/mountfit.h"
#include "web/webserver.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QDockWidget>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

namespace {

const QColor FlagSet(0, 128, 0);   // dark green
const QColor FlagClear(128, 0, 0); // dark red
const QColor FlagInitial(170, 0, 0);
const QColor FlagUnknown(128, 128, 128); // the flag byte could not be read

void setBackground(QWidget* widget, const QBrush& brush)
{
    QPalette p = widget->palette();
    p.setBrush(QPalette::Window, brush);
    widget->setPalette(p);
    widget->setAutoFillBackground(true);
}

// A lock flag's colour says its state; its name stays readable on it in any
// theme (black on maroon was not).
void setFlagColour(QWidget* flag, const QColor& colour)
{
    QPalette p = flag->palette();
    if (p.color(QPalette::Window) == colour && flag->autoFillBackground())
        return;
    p.setColor(QPalette::Window, colour);
    p.setColor(QPalette::WindowText, contrast::textOn(colour));
    flag->setPalette(p);
    flag->setAutoFillBackground(true);
}

} // namespace

void zenaraForm::applyLook()
{
    for (QFrame* frame : {frame4, frame4_3, frame4_3_2, frame9, frameStatus})
        setBackground(frame, Qt::black);
    const QBrush black(EmbeddedImageFactory::pixmap(QStringLiteral("bg_black.png")));
    // The margin line is the longest text in the meters' frames.
    QFont small = labelMargin->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    labelMargin->setFont(small);
    for (QLabel* label : std::initializer_list<QLabel*>{
             textLabel4, textLabelBER, textLabel1_3, textLabel37, textLabelAGC, textLabel24,
             textLabel4_4_2, textLabelSNR, textLabel1_3_3_2, labelMargin}) {
        setBackground(label, black);
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, QColor(0, 255, 0));
        label->setPalette(p);
    }
    const QBrush green(EmbeddedImageFactory::pixmap(QStringLiteral("bg_green.gif")));
    const std::pair<QFrame*, LedMeter*> meters[] = {
        {frame4, ledMeterBER}, {frame4_3, ledMeterAGC}, {frame4_3_2, ledMeterSNR}};
    for (const auto& [frame, meter] : meters) {
        // A frame's own minimum width would hide from the layout what its
        // texts need (the margin line grows with its values and the font):
        // the meter keeps the frame's width instead.
        const QMargins m = frame->layout()->contentsMargins();
        meter->setMinimumSize(
            frame->minimumWidth() - m.left() - m.right() - 2 * frame->frameWidth(), 15);
        frame->setMinimumWidth(0);
        setBackground(meter, green);
        meter->setLineWidth(2);
    }
    setBackground(lCDNumberUCB,
                  QBrush(EmbeddedImageFactory::pixmap(QStringLiteral("bg_green3.gif"))));
    QPalette lcd = lCDNumberUCB->palette();
    lcd.setColor(QPalette::WindowText, QColor(0, 255, 0));
    lCDNumberUCB->setPalette(lcd);
    for (QLabel* label : {textLabelSIG, textLabelCAR, textLabelVIT, textLabelSYN, textLabelLCK,
                          textLabelTIM, textLabelRNT})
        setFlagColour(label, FlagInitial);
}

void zenaraForm::connectSignals()
{
    connect(radioButtonDiSEqCNone, &QRadioButton::clicked, this,
            &zenaraForm::radioButtonDiSEqCNone_clicked);
    connect(radioButtonDiSEqCSimple, &QRadioButton::clicked, this,
            &zenaraForm::radioButtonDiSEqCSimple_clicked);
    connect(radioButtonDiSEqC10, &QRadioButton::clicked, this,
            &zenaraForm::radioButtonDiSEqC10_clicked);
    connect(eastButton, &QToolButton::clicked, this, &zenaraForm::eastButton_clicked);
    connect(westButton, &QToolButton::clicked, this, &zenaraForm::westButton_clicked);
    connect(haltMotorButton, &QPushButton::clicked, this, &zenaraForm::haltMotorButton_clicked);
    connect(limitEButton, &QToolButton::clicked, this, &zenaraForm::limitEButton_clicked);
    connect(limitOffButton, &QToolButton::clicked, this, &zenaraForm::limitOffButton_clicked);
    connect(LimitWButton, &QToolButton::clicked, this, &zenaraForm::LimitWButton_clicked);
    connect(tuneButton, &QPushButton::clicked, this, &zenaraForm::tuneButton_clicked);
    connect(sendButton, &QToolButton::clicked, this, &zenaraForm::sendButton_clicked);
    connect(posSetButton, &QToolButton::clicked, this, &zenaraForm::posSetButton_clicked);
    connect(positionsSpinBox, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &zenaraForm::positionsSpinBox_valueChanged);
    connect(satlistComboBox, QOverload<int>::of(&QComboBox::activated), this,
            &zenaraForm::satlistComboBox_activated);
    connect(typeStepComboBox, QOverload<int>::of(&QComboBox::activated), this,
            &zenaraForm::typeStepComboBox_activated);
    connect(freqListComboBox, QOverload<int>::of(&QComboBox::activated), this,
            &zenaraForm::freqListComboBox_activated);
    connect(lnbTypeComboBox, QOverload<int>::of(&QComboBox::activated), this,
            &zenaraForm::lnbTypeComboBox_activated);
    connect(buttonSet, &QPushButton::clicked, this, &zenaraForm::buttonSet_clicked);
    connect(fileExitAction, &QAction::triggered, this, &QWidget::close);
    connect(optionsSettingsAction, &QAction::triggered, this,
            &zenaraForm::optionsDiSEqCButton_clicked);
    connect(satListToolbarComboBox, QOverload<int>::of(&QComboBox::activated), this,
            &zenaraForm::satListToolbarComboBox_activated);
    connect(goToolButton, &QToolButton::clicked, this, &zenaraForm::goToolButton_clicked);
    connect(toolButtonUcbClear, &QToolButton::clicked, this,
            &zenaraForm::toolButtonUcbClear_clicked);
    connect(gotoButton, &QToolButton::clicked, this, &zenaraForm::gotoButton_clicked);
    connect(storeButton, &QToolButton::clicked, this, &zenaraForm::storeButton_clicked);
    connect(gotoXYButton, &QToolButton::clicked, this, &zenaraForm::gotoXYButton_clicked);
    connect(toolButtonBER, &QToolButton::toggled, this, &zenaraForm::toolButtonBER_toggled);
    connect(toolButtonSNR, &QToolButton::toggled, this, &zenaraForm::toolButtonSNR_toggled);
    connect(toolButtonAGC, &QToolButton::toggled, this, &zenaraForm::toolButtonAGC_toggled);
    connect(toolButtonHaltMotor, &QToolButton::clicked, this, &zenaraForm::haltMotorButton_clicked);
    connect(checkBoxAcoustic, &QCheckBox::toggled, this, &zenaraForm::checkBoxAcoustic_toggled);
    connect(helpAboutAction, &QAction::triggered, this, &zenaraForm::helpAboutAction_activated);
    // Return in a tuner field tunes, as Set does.
    for (QLineEdit* field : {lineEditFreq, lineEditSmbRate})
        connect(field, &QLineEdit::returnPressed, this, &zenaraForm::buttonSet_clicked);
    // Esc stops the motor from anywhere in the window.
    m_haltAction = new QAction(this);
    m_haltAction->setShortcut(QKeySequence(Qt::Key_Escape));
    m_haltAction->setShortcutContext(Qt::WindowShortcut);
    addAction(m_haltAction);
    connect(m_haltAction, &QAction::triggered, this, &zenaraForm::haltMotorButton_clicked);
    // buttonPower's toggled signal is connected only once the settings are loaded.
}

void zenaraForm::setTabOrder()
{
    // One round through every control, as the window reads: the toolbar, the
    // left pane, the right pane, the plot's buttons. A tab widget comes before
    // its pages (its tab bar then changes the page with the arrow keys); the
    // controls of a page not shown are passed over.
    const QList<QWidget*> order = {
        satListToolbarComboBox, goToolButton, toolButtonHaltMotor,
        // Tuner-Status, DiSEqC 1.0/2.0, LNB
        tabWidget, toolButtonUcbClear, checkBoxAcoustic, radioButtonDiSEqCNone,
        radioButtonDiSEqCSimple, comboBoxSimple, radioButtonDiSEqC10, comboBoxDiSEqC10,
        lnbTypeComboBox, lineEditLOF1, lineEditSwitch, lineEditLOF2, checkBoxIOUT650mA,
        checkBoxVHigh, buttonPower,
        // Tuner-Settings, DiSEqC 1.2 (with its own pages)
        tabWidget4, freqListComboBox, lineEditFreq, radioButtonVert, radioButtonHorz,
        lineEditSmbRate, comboBoxSystem, buttonSet, Tune, satlistComboBox, gotoXYButton,
        positionsSpinBox, gotoButton, storeButton, posSetButton, eastButton, tuningSpinBox,
        decimalSpinBox, westButton, typeStepComboBox, stepTuningSpinBox, tuneMethodComboBox,
        tuneButton, limitEButton, limitOffButton, LimitWButton, raw0, raw1, raw2, raw3, raw4, raw5,
        sendButton, haltMotorButton,
        // the plot
        toolButtonBER, toolButtonAGC, toolButtonSNR};
    for (int i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order.at(i - 1), order.at(i));
}

void zenaraForm::languageChange()
{
    retranslateUi(this);
    satListToolbarComboBox->setToolTip(tr("Sattelite"));
    goToolButton->setToolTip(tr("Drive Motor to Satellite Position [nn] or Angular Position [°]"));
    // The key that does the same, where the button says what it does.
    const QString halt = tr("Stop Positioner Motor") + QStringLiteral(" (") +
                         QKeySequence(Qt::Key_Escape).toString(QKeySequence::NativeText) +
                         QLatin1Char(')');
    toolButtonHaltMotor->setToolTip(halt);
    haltMotorButton->setToolTip(halt);
    if (m_toolbarsMenu)
        m_toolbarsMenu->setTitle(tr("&Toolbars"));
    labelMargin->setWidestText(linkmargin::widestText());
}

void zenaraForm::addPhoneMeter()
{
    m_web = std::make_unique<web::WebServer>(*m_session);
    m_session->setWebControl(m_web.get());
    QAction* action = viewMenu->addAction(tr("&Phone meter…"));
    action->setObjectName(QStringLiteral("viewPhoneMeterAction"));
    connect(action, &QAction::triggered, this, &zenaraForm::showPhoneMeter);
}

PhoneMeterDialog* zenaraForm::showPhoneMeter()
{
    if (!m_phoneMeter)
        m_phoneMeter = new PhoneMeterDialog(*m_web, this);
    m_phoneMeter->show();
    m_phoneMeter->raise();
    m_phoneMeter->activateWindow();
    return m_phoneMeter;
}

bool zenaraForm::startPhoneMeter(const QString& where, QString* error)
{
    const bool started = m_web->startServing(where, error);
    PhoneMeterDialog* dialog = showPhoneMeter();
    if (!started)
        dialog->showStartError(*error);
    return started;
}

void zenaraForm::addSiteView()
{
    // The installer's sky, in a window of its own until the user docks it; made
    // before the settings so that the stored layout can show it again.
    m_siteView = new SiteView;
    m_siteDock = new QDockWidget(tr("Site"), this);
    m_siteDock->setObjectName(QStringLiteral("siteDock"));
    m_siteDock->setWidget(m_siteView);
    // Beside the window, where a laptop's screen has room, not under it.
    m_siteDock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    addDockWidget(Qt::RightDockWidgetArea, m_siteDock);
    m_siteDock->setFloating(true);
    m_siteDock->resize(620, 580);
    m_siteDock->hide();
    viewMenu->addAction(m_siteDock->toggleViewAction());
    m_siteDock->addAction(m_haltAction); // a window of its own when floating
    m_siteView->chosen = [this](int row) {
        m_session->chooseSatellite(row);
    };
    connect(m_siteDock, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (visible)
            updateSiteView();
    });
}

void zenaraForm::addReceiverLabel()
{
    // Which receiver this is, for good, at the right of the status bar.
    const hw::CardBackend* card = hw::CardLayer::backend();
    if (!card || card->description().isEmpty())
        return;
    // A frontend's own name stays as it is; the simulator's is translated.
    const QByteArray name = card->description().toUtf8();
    auto* receiver = new QLabel(
        tr("Receiver: %1").arg(QCoreApplication::translate("Receivers", name.constData())));
    receiver->setObjectName(QStringLiteral("receiverLabel"));
    receiver->setToolTip(card->choiceNote);
    QMainWindow::statusBar()->addPermanentWidget(receiver);
    if (!card->choiceNote.isEmpty())
        QMainWindow::statusBar()->showMessage(card->choiceNote);
}

void zenaraForm::setPowerIndicator(bool on)
{
    setBackground(framePower, on ? QColor(Qt::green) : QColor(Qt::lightGray));
}

void zenaraForm::showNetwork()
{
    switch (m_session->networkState()) {
    case core::Session::Network::NotAsked:
    case core::Session::Network::Reading:
        labelNetwork->clear();
        return;
    case core::Session::Network::None:
        labelNetwork->setPalette(QPalette());
        labelNetwork->setText(networkcheck::noneText());
        return;
    case core::Session::Network::Found:
        break;
    }
    const networkcheck::Verdict verdict = m_session->networkVerdict();
    QPalette p;
    // Green or red, as dark or light as the status bar needs to read it.
    const QColor bar = QMainWindow::statusBar()->palette().color(QPalette::Window);
    if (verdict == networkcheck::Verdict::Match)
        p.setColor(QPalette::WindowText, contrast::readableShade(QColor(0, 128, 0), bar));
    else if (verdict == networkcheck::Verdict::Mismatch)
        p.setColor(QPalette::WindowText, contrast::readableShade(QColor(170, 0, 0), bar));
    labelNetwork->setPalette(p);
    labelNetwork->setText(networkcheck::text(
        m_session->network(), verdict, m_session->chosenPosition(), m_session->networkSatellite()));
}

void zenaraForm::updateSiteView()
{
    if (!m_siteView)
        return;
    const SatelliteList& list = m_session->satellites();
    QVector<SiteView::Satellite> satellites;
    for (int row = 1; row < list.shownNumbers.size(); ++row) {
        const int at = list.numbers.indexOf(list.shownNumbers.at(row));
        if (at >= 0)
            satellites.append({row, list.orbitalPositions.at(at), list.names.at(at)});
    }
    m_siteView->setSite(m_session->options().latitude, m_session->options().longitude);
    m_siteView->setSatellites(satellites);
    showMountOnSiteView();
    m_siteView->setSelectedRow(m_session->chosenRow());
    showDishOnSiteView();
}

// The calibrated mount's path against the arc: where it parts from it, the
// installer sees the tilt the advice speaks of.
void zenaraForm::showMountOnSiteView()
{
    if (!m_siteView)
        return;
    const positioner::ArcCalibration& c = m_session->calibration();
    QVector<QPointF> path;
    if (c.fitted) {
        const positioner::MountModel mount(m_session->options().latitude,
                                           m_session->options().longitude, c.errors + c.made);
        for (double angle = -85; angle <= 85; angle += 1) {
            double azimuth = 0, elevation = 0;
            mount.pointing(angle, &azimuth, &elevation);
            if (elevation >= 0)
                path.append(QPointF(azimuth, elevation));
        }
    }
    m_siteView->setMountPath(path);
}

void zenaraForm::showDishOnSiteView()
{
    if (!m_siteView)
        return;
    m_siteView->setDishAngle(
        m_session->positioner().motion().angle(hw::CardLayer::clock().nowMs()));
    m_siteView->setReception(m_session->receptionLines());
}

void zenaraForm::showReading(const PollReading& r)
{
    QLabel* const flagLabels[7] = {textLabelSIG, textLabelCAR, textLabelVIT, textLabelSYN,
                                   textLabelLCK, textLabelTIM, textLabelRNT};
    for (int bit = 0; bit < 7; ++bit)
        setFlagColour(flagLabels[bit], !r.flagsValid            ? FlagUnknown
                                       : (r.flags & (1 << bit)) ? FlagSet
                                                                : FlagClear);
    if (r.fecChanged)
        lineEditFEC->setText(r.fecText);
    textLabelBER->setText(r.berText);
    ledMeterBER->setValue(r.berMeter);
    if (r.ucbChanged)
        lCDNumberUCB->display(r.ucbTotal);
    textLabelAGC->setText(r.agcText);
    ledMeterAGC->setValue(r.agcMeter);
    textLabelSNR->setText(r.snrText);
    ledMeterSNR->setValue(r.snrMeter);
    labelMargin->setText(linkmargin::text(m_session->margin()));
    labelMargin->setToolTip(linkmargin::explanation(m_session->margin()));
}
