#pragma once

#include "hw/dvb/frontenddevice.h"

#include <QMap>
#include <QStringList>

class QSettings;

namespace dvb {

// A frontend the tests (and "--receiver dvb-fake:FILE") script: what it is,
// what it measures, which calls fail with which errno. It logs every call the
// back end makes, as the kernel would see them.
class FakeFrontend : public FrontendDevice
{
public:
    FakeFrontend();

    // Reads a script (INI):
    // [frontend] name, satellite (the legacy type), open=ok|busy|denied|missing,
    //   delsys=DVBS,DVBS2,DVBT,... (DTV_ENUM_DELSYS; without it, DVB-S for a
    //   satellite frontend, DVB-T otherwise);
    // [reception] status; strength, cnr, errors, bits, blocks, each
    //   "relative:N", "decibel:N", "counter:N" or "none"; what the driver
    //   reports of the carrier: system=DVBS|DVBS2, modulation=QPSK|8PSK|
    //   16APSK|32APSK|AUTO, fec=1/2..9/10|AUTO|NONE, pilot=on|off|auto,
    //   rolloff=35|25|20|auto;
    // [fail] CALL=errno (DTV_ENUM_DELSYS=errno for that query alone),
    //   vanish=N: the device is gone after N calls, or vanish-on=FILE: gone
    //   once FILE exists.
    bool loadScript(const QString& path, QString* error);

    QString path() const override { return m_path; }
    int open() override;
    void close() override;
    int info(FrontendInfo* info) override;
    int deliverySystems(QVector<quint32>* systems) override;
    int setProperties(const QVector<std::pair<quint32, quint32>>& properties) override;
    int getProperty(quint32 command, quint32* value) override;
    int readStatus(quint32* status) override;
    int statistics(Statistics* statistics) override;
    int sendMasterCommand(const QByteArray& message) override;
    int sendBurst(int burst) override;
    int setTone(bool on) override;
    int setVoltage(int volts) override;
    int enableHighVoltage(bool on) override;

    FrontendInfo frontendInfo;
    int openError = 0;
    quint32 status = 0;
    Statistics stats;
    QVector<quint32> delsys; // DTV_ENUM_DELSYS; empty: what frontendInfo implies
    // What getProperty() answers, as the kernel's values.
    quint32 innerFec = 3;   // FEC_3_4
    quint32 system = 5;     // SYS_DVBS
    quint32 modulation = 0; // QPSK
    quint32 pilot = 2;      // PILOT_AUTO
    quint32 rollOff = 0;    // ROLLOFF_35
    // Every FE_SET_PROPERTY call's (command, value) list, in order.
    QVector<QVector<std::pair<quint32, quint32>>> propertySets;
    QMap<QString, int> failures; // call name -> errno it returns
    int vanishAfterCalls = -1;   // [fail] vanish=N: from call N+1 on, ENODEV (unplugged)
    QString vanishOnFile;        // [fail] vanish-on=FILE: ENODEV once the file exists
    QStringList calls;
    bool isOpen = false;

private:
    bool loadCarrier(const QSettings& ini, QString* problem);
    int call(const QString& name, const QString& details = QString());
    int failure(const QString& name);

    int m_callCount = 0;

    QString m_path = QStringLiteral("/dev/dvb/adapter0/frontend0 (fake)");
};

} // namespace dvb
