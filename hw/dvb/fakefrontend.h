#pragma once

#include "hw/dvb/frontenddevice.h"

#include <QMap>
#include <QStringList>

namespace dvb {

// A frontend the tests (and "--receiver dvb-fake:FILE") script: what it is,
// what it measures, which calls fail with which errno. It logs every call the
// back end makes, as the kernel would see them.
class FakeFrontend : public FrontendDevice
{
public:
    FakeFrontend();

    // Reads a script (INI): [frontend] name, satellite, open=ok|busy|denied|
    // missing; [reception] status, strength, cnr, errors, bits, blocks, fec,
    // each "relative:N", "decibel:N", "counter:N" or "none"; [fail] CALL=errno, vanish=N: the
    // device is gone after N calls, or vanish-on=FILE: gone once FILE exists.
    bool loadScript(const QString& path, QString* error);

    QString path() const override { return m_path; }
    int open() override;
    void close() override;
    int info(FrontendInfo* info) override;
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
    quint32 innerFec = 3;        // 3/4
    QMap<QString, int> failures; // call name -> errno it returns
    int vanishAfterCalls = -1;   // [fail] vanish=N: from call N+1 on, ENODEV (unplugged)
    QString vanishOnFile;        // [fail] vanish-on=FILE: ENODEV once the file exists
    QStringList calls;
    bool isOpen = false;

private:
    int call(const QString& name, const QString& details = QString());
    int failure(const QString& name);

    int m_callCount = 0;

    QString m_path = QStringLiteral("/dev/dvb/adapter0/frontend0 (fake)");
};

} // namespace dvb
