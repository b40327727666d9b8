#pragma once

// A small sound layer of our own: a system with channels that play a sine
// oscillator or a looping sample, each with volume, frequency and pause, mixed
// by us and sent to the default audio output.

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

class QAudioOutput;
class QIODevice;

namespace sound {

enum Result {
    Ok = 0,
    ErrFileNotFound = 1,
    ErrFileBad = 2,
    ErrInvalidHandle = 3,
    ErrOutput = 4,
    ErrNotInitialised = 5,
};
QString errorString(int result);

// Our layer's version; the program refuses anything older than it needs.
constexpr unsigned Version = 0x00040806;

class System;

// An oscillator: a waveform (0 = sine) at a rate in Hz.
struct Dsp
{
    int waveform = 0;
    float rate = 440.0f;
};

// A sample loaded into memory, mono, at its own sample rate.
struct Sound
{
    QVector<float> samples;
    int sampleRate = 44100;
    bool loop = false;
};

class Channel
{
public:
    int setVolume(float volume);
    // In the layer's units: for an oscillator, one hundredth of a hertz per unit
    // (5000 = 50 Hz); for a sample, its playback rate in samples per second.
    int setFrequency(float frequency);
    int setPaused(bool paused);
    float volume() const { return m_volume; }
    float frequency() const { return m_frequency; }
    bool paused() const { return m_paused; }

private:
    friend class System;
    Channel(System* system, const Dsp* dsp, const Sound* sample);
    float next(int outputRate);

    System* m_system;
    const Dsp* m_dsp;
    const Sound* m_sample;
    float m_volume = 1.0f;
    float m_frequency = 0;
    bool m_paused = false;
    double m_phase = 0;
    double m_position = 0;
};

class System
{
public:
    static constexpr int OutputRate = 44100;

    // No audio output: init() fails and nothing plays, but channels still mix
    // (offline rendering works).
    static bool outputAvailable();

    System();
    ~System();

    int getVersion(unsigned* version) const;
    // Starts the audio output; ErrOutput when there is none. Offline, the
    // channels mix only into render() (for tests and benchmarks).
    int init(int maxChannels, bool offline = false);
    int createDsp(Dsp** dsp);
    int createSound(const QString& path, bool loop, Sound** sound);
    int playDsp(Dsp* dsp, bool paused, Channel** channel);
    int playSound(Sound* sound, bool paused, Channel** channel);
    int update();
    int close();

    // Mixes every playing channel into frames of mono samples in -1..1.
    void render(float* out, int frames);
    QMutex& mutex() { return m_mutex; }

private:
    int addChannel(const Dsp* dsp, const Sound* sample, bool paused, Channel** channel);

    QMutex m_mutex;
    int m_maxChannels = 0;
    std::vector<std::unique_ptr<Dsp>> m_dsps;
    std::vector<std::unique_ptr<Sound>> m_sounds;
    std::vector<std::unique_ptr<Channel>> m_channels;
    std::unique_ptr<QIODevice> m_device;
    std::unique_ptr<QAudioOutput> m_output;
};

// The mixer's samples as the 16-bit output takes them, clipped at full scale.
void toPcm16(const float* in, qint16* out, int frames);

// The library value of the tone's frequency for an AGC level: the pitch rises
// from minHz at scaleMin by (maxHz - minHz) / (scaleMax - scaleMin) hertz per
// percent (integer ratio), without an upper clamp. Equal bounds or a maximum
// below the minimum keep the tone at minHz.
float toneFrequency(double agcPercent, int minHz, int maxHz, int scaleMin, int scaleMax);

struct ToneSettings
{
    int freqMinHz = 50;
    int freqMaxHz = 1000;
    int scaleMin = 50;
    int scaleMax = 70;
    int volume = 50; // percent
};

// The window's acoustic signal: a tone whose pitch follows the AGC and a
// looping lock sound, switched by the acoustic check box.
class Signaliser
{
public:
    static constexpr unsigned RequiredVersion = 0x00040806;

    // Sets everything up; problems the user should see come back as messages
    // ("Sound error! (%1) %2\n" and the old-version text). Without an audio
    // output (and not offline) the signaliser stays unavailable, silently.
    QStringList init(const QString& lockSoundPath, const ToneSettings& settings,
                     bool offline = false);
    bool available() const { return m_available; }

    // One poll's worth: lock sound on or off, then the tone from the AGC.
    void tick(bool locked, double agcPercent, const ToneSettings& settings, bool enabled);
    // The acoustic check box.
    void setEnabled(bool on);
    QStringList shutdown();

    System* system() const { return m_system.get(); }
    Channel* toneChannel() const { return m_toneChannel; }
    Channel* lockChannel() const { return m_lockChannel; }

    // The box text for a failed call; file names the file it failed on.
    static QString resultMessage(int result, const QString& file = QString());

private:
    std::unique_ptr<System> m_system;
    Dsp* m_toneDsp = nullptr;
    Sound* m_lockSound = nullptr;
    Channel* m_toneChannel = nullptr;
    Channel* m_lockChannel = nullptr;
    bool m_available = false;
};

} // namespace sound
