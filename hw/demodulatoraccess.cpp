#include "hw/demodulatoraccess.h"

#include "hw/cardlibrary.h"
#include "hw/logging.h"

namespace {
// An unbound bus counts as a failed transfer rather than a crash.
constexpr int BusNotBound = -1;
constexpr int DiseqcReadyTimeoutMs = 200;
constexpr int DiseqcPollIntervalMs = 10;
} // namespace

int DemodulatorAccess::readRegister(int reg, unsigned char* value)
{
    const unsigned char out = static_cast<unsigned char>(reg);
    unsigned char in = 0;
    const int rc = busRead ? busRead(tda10086::BusAddress, &out, 1, &in, 1) : BusNotBound;
    if (rc != 0) {
        qCDebug(lcHw, "tda10086_read_byte(): error reg=0x%x, ret=%i", reg, rc);
        *value = 0;
        return rc;
    }
    *value = in;
    return 0;
}

int DemodulatorAccess::tda10086_read_byte(int reg)
{
    unsigned char value = 0;
    const int rc = readRegister(reg, &value);
    return rc != 0 ? rc : value;
}

int DemodulatorAccess::tda10086_read_byte(int reg, unsigned char* value)
{
    return readRegister(reg, value);
}

int DemodulatorAccess::tda10086_write_byte(int reg, int data)
{
    const unsigned char bytes[2] = {static_cast<unsigned char>(reg),
                                    static_cast<unsigned char>(data)};
    const int rc = busWrite ? busWrite(tda10086::BusAddress, bytes, 2) : BusNotBound;
    if (rc != 0)
        qCDebug(lcHw, "tda10086_write_byte(): error reg=0x%x, data=0x%x, ret=%i", reg, data, rc);
    return rc;
}

int DemodulatorAccess::lnbp21_write_byte(int data)
{
    const unsigned char byte = static_cast<unsigned char>(data);
    const int rc = busWrite ? busWrite(lnbp21::BusAddress, &byte, 1) : BusNotBound;
    if (rc != 0)
        qCDebug(lcHw, "lnbp21_write_byte(): data=0x%x, ret=%i", data, rc);
    return rc;
}

void DemodulatorAccess::tda10086_diseqc_wait()
{
    hw::Clock& clock = hw::CardLayer::clock();
    const hw::Stopwatch stopwatch(clock);
    for (;;) {
        unsigned char ready = 0;
        if (readRegister(tda10086::RegDiseqcReady, &ready) == 0 && (ready & 0x01))
            return;
        if (stopwatch.elapsed() > DiseqcReadyTimeoutMs) {
            qCDebug(lcHw, "tda10086_diseqc_wait(): DiSEqC queue not ready, command may be lost.");
            return;
        }
        clock.sleepMs(DiseqcPollIntervalMs);
    }
}

int DemodulatorAccess::tda10086_agc_raw(unsigned char* agc)
{
    return readRegister(tda10086::RegAgc, agc);
}

int DemodulatorAccess::tda10086_snr_raw(unsigned char* snr)
{
    return readRegister(tda10086::RegSnr, snr);
}

int DemodulatorAccess::tda10086_ber_count(unsigned int* count)
{
    unsigned char low = 0, mid = 0, high = 0;
    // All three are read, in this order, even after a failure: the counter
    // registers are latched by the chip as a group.
    const int rcLow = readRegister(tda10086::RegBerLow, &low);
    const int rcMid = readRegister(tda10086::RegBerMid, &mid);
    const int rcHigh = readRegister(tda10086::RegBerHigh, &high);
    const int rc = rcLow ? rcLow : (rcMid ? rcMid : rcHigh);
    *count = rc ? 0u : (low | (mid << 8) | (static_cast<unsigned>(high & 0x0F) << 16));
    return rc;
}

int DemodulatorAccess::tda10086_ucb_count(unsigned char* count)
{
    unsigned char raw = 0;
    const int rc = readRegister(tda10086::RegUcb, &raw);
    if (rc != 0) {
        // Restarting the counter now would throw away blocks that were never read.
        *count = 0;
        return rc;
    }
    *count = raw & 0x7F;
    tda10086_write_byte(tda10086::RegUcb, 0x00);
    tda10086_write_byte(tda10086::RegUcb, 0x80);
    return 0;
}

int DemodulatorAccess::tda10086_status_flags(unsigned char* flags)
{
    return readRegister(tda10086::RegStatus, flags);
}

int DemodulatorAccess::tda10086_send_master_cmd(const unsigned char* message, int length)
{
    if (length > tda10086::MaxDiseqcLength || length < 1 || !message)
        return -1;

    unsigned char control = 0;
    if (readRegister(tda10086::RegDiseqcControl, &control) != 0)
        return -1;

    bool writesFailed = false;
    for (int i = 0; i < length; ++i) {
        if (tda10086_write_byte(tda10086::RegDiseqcMessage + i, message[i]) != 0)
            writesFailed = true;
    }
    if (writesFailed)
        return -1;

    if (tda10086_write_byte(tda10086::RegDiseqcControl, ((length - 1) << 4) | 0x08) != 0)
        return -1;

    tda10086_diseqc_wait();

    return tda10086_write_byte(tda10086::RegDiseqcControl, control) == 0 ? 0 : -1;
}
