#pragma once

// Register-level access to the card's two chips on the register bus: the
// TDA10086 demodulator and the LNBP21 LNB supply.

namespace tda10086 {
constexpr unsigned char BusAddress = 0x1C;

constexpr int RegAcquisition = 0x02;
constexpr int RegCodeRate = 0x0D;
constexpr int RegStatus = 0x0E;
constexpr int RegBerLow = 0x15;
constexpr int RegBerMid = 0x16;
constexpr int RegBerHigh = 0x17;
constexpr int RegUcb = 0x18;
constexpr int RegSnr = 0x1C;
constexpr int RegDiseqcControl = 0x36;
constexpr int RegAgc = 0x43;
constexpr int RegDiseqcMessage = 0x48; // 0x48..0x4D
constexpr int RegDiseqcReady = 0x50;

constexpr int MaxDiseqcLength = 6;
} // namespace tda10086

namespace lnbp21 {
constexpr unsigned char BusAddress = 0x10;
}

class DemodulatorAccess
{
public:
    // The register value 0..255, or the bus routine's nonzero error code in its place.
    int tda10086_read_byte(int reg);
    // The same read with an unambiguous result: 0 and the value, or the
    // transfer's nonzero code (the value is then 0).
    int tda10086_read_byte(int reg, unsigned char* value);
    int tda10086_write_byte(int reg, int data);
    int lnbp21_write_byte(int data);
    // Waits up to about 200 ms for the DiSEqC transmitter to become ready.
    void tda10086_diseqc_wait();

    // Measurement reads: 0 and the value, or the first failed transfer's nonzero
    // code (the output is then 0 and must not be shown as a measurement).
    int tda10086_agc_raw(unsigned char* agc);
    int tda10086_snr_raw(unsigned char* snr);
    int tda10086_ber_count(unsigned int* count);
    int tda10086_ucb_count(unsigned char* count);
    int tda10086_status_flags(unsigned char* flags);

    // Sends one DiSEqC master command of at most 6 bytes: 0 when every step
    // succeeded, -1 otherwise.
    int tda10086_send_master_cmd(const unsigned char* message, int length);

private:
    int readRegister(int reg, unsigned char* value);
};
