#include "forms/zenaraform.h"

#include "app/embeddedimages.h"
#include "app/messages.h"
#include "hw/demodulatoraccess.h"
#include "lists/satellitelist.h"
#include "settings/settingsstore.h"

#include <QComboBox>
#include <QMenu>
#include <QTimerEvent>
#include <QToolBar>
#include <QToolButton>

#include <cstdio>
#include <unistd.h>

namespace {
constexpr int PollIntervalMs = 250;
}

zenaraForm::zenaraForm(QWidget* parent, Qt::WindowFlags flags) : QMainWindow(parent, flags)
{
    setupUi(this);

    satListToolbarComboBox = new QComboBox(satelliteToolbar);
    satListToolbarComboBox->setObjectName(QStringLiteral("satListToolbarComboBox"));
    satListToolbarComboBox->setFocusPolicy(Qt::NoFocus);
    satelliteToolbar->addWidget(satListToolbarComboBox);
    goToolButton = new QToolButton(satelliteToolbar);
    goToolButton->setObjectName(QStringLiteral("goToolButton"));
    goToolButton->setIcon(EmbeddedImageFactory::icon(QStringLiteral("exec.png")));
    satelliteToolbar->addWidget(goToolButton);
    toolButtonHaltMotor = new QToolButton(haltMotorToolbar);
    toolButtonHaltMotor->setObjectName(QStringLiteral("toolButtonHaltMotor"));
    toolButtonHaltMotor->setIcon(EmbeddedImageFactory::icon(QStringLiteral("halt.png")));
    haltMotorToolbar->addWidget(toolButtonHaltMotor);

    languageChange();
    resize(QSize(596, 597).expandedTo(minimumSizeHint()));

    connect(fileExitAction, &QAction::triggered, this, &QWidget::close);

    initWindow();
}

zenaraForm::~zenaraForm()
{
    saveSettings();
}

void zenaraForm::languageChange()
{
    retranslateUi(this);
    satListToolbarComboBox->setToolTip(tr("Sattelite"));
    goToolButton->setToolTip(tr("Drive Motor to Satellite Position [nn] or Angular Position [°]"));
    toolButtonHaltMotor->setToolTip(tr("Stop Positioner Motor"));
    if (m_toolbarsMenu)
        m_toolbarsMenu->setTitle(tr("&Toolbars"));
}

void zenaraForm::initWindow()
{
    satelliteList = new SatelliteList;
    demodulatorAccess = new DemodulatorAccess;

    // The View menu lists the toolbars with a check mark for each one shown.
    m_toolbarsMenu = viewMenu->addMenu(tr("&Toolbars"));
    for (QToolBar* bar : {fileToolbar, optionsToolbar, satelliteToolbar, haltMotorToolbar})
        m_toolbarsMenu->addAction(bar->toggleViewAction());

    haltRequested = false;
    diseqcRepeatCount = 3;
    tuneFailed = false;
    awaitingLock = false;
    ucbTotal = 0;
    unlockedTime = 0;

    loadSettings();
    initPlot();
    openBoard();
    buttonSet_clicked();
    initSound();
    pollTimer = startTimer(PollIntervalMs);
}

void zenaraForm::loadSettings() {}

void zenaraForm::saveSettings()
{
    const auto settings = openSettings();
    using namespace settingskeys;
    settings->setValue(GeometryMaximized, isMaximized());
    settings->setValue(GeometryX, pos().x());
    settings->setValue(GeometryY, pos().y());
    settings->setValue(GeometryWidth, width());
    settings->setValue(GeometryHeight, height());
    settings->sync();

    shutdownSound();
    delete demodulatorAccess;
    demodulatorAccess = nullptr;
    delete satelliteList;
    satelliteList = nullptr;
    CDVBCommon::CloseDevice();
}

void zenaraForm::initPlot() {}

int zenaraForm::openBoard()
{
    if (CDVBCommon::OpenDevice(0, nullptr, 0) == 0)
        fatalError(QT_TR_NOOP("CDVBCommon::OpenDevice(0) failed"));
    if (frontend.Init() != DVB_ERR_NONE)
        fatalError(QT_TR_NOOP("CDVBFrontend::Init() failed"));
    if (locateBusRoutines() != 0)
        fatalError(QT_TR_NOOP("Unknown version ttlcdacc.dll"));
    return 0;
}

void zenaraForm::fatalError(const char* text)
{
    messages::critical(nullptr, tr("Fatal error"), tr(text), tr("Quit"));
    // Ends here, before any settings are written and without closing the card.
    std::fflush(nullptr);
    ::_exit(-1);
}

void zenaraForm::buttonSet_clicked() {}

void zenaraForm::initSound() {}

void zenaraForm::shutdownSound() {}

void zenaraForm::timerEvent(QTimerEvent* event)
{
    QMainWindow::timerEvent(event);
}
