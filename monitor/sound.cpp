#include "monitor/sound.h"

#include "monitor/logging.h"

#include <QAudioDeviceInfo>
#include <QAudioFormat>
#include <QAudioOutput>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>

#include <sndfile.h>

#include <algorithm>
#include <cmath>

namespace sound {

namespace {

QAudioFormat outputFormat()
{
    QAudioFormat format;
    format.setSampleRate(System::OutputRate);
    format.setChannelCount(1);
    format.setSampleSize(16);
    format.setCodec(QStringLiteral("audio/pcm"));
    format.setByteOrder(QAudioFormat::LittleEndian);
    format.setSampleType(QAudioFormat::SignedInt);
    return format;
}

// What the audio output pulls: 16-bit samples straight from the mixer.
class MixerDevice : public QIODevice
{
public:
    explicit MixerDevice(System& system) : m_system(system) { open(QIODevice::ReadOnly); }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const int frames = int(maxSize / 2);
        m_buffer.resize(frames);
        m_system.render(m_buffer.data(), frames);
        toPcm16(m_buffer.constData(), reinterpret_cast<qint16*>(data), frames);
        return qint64(frames) * 2;
    }
    qint64 writeData(const char*, qint64) override { return -1; }
    qint64 bytesAvailable() const override { return 4096 + QIODevice::bytesAvailable(); }

private:
    System& m_system;
    QVector<float> m_buffer;
};

} // namespace

QString errorString(int result)
{
    // The window shows these texts, so they are translated in its context.
    const char* text = nullptr;
    switch (result) {
    case Ok:
        text = QT_TRANSLATE_NOOP("zenaraForm", "No errors.");
        break;
    case ErrFileNotFound:
        text = QT_TRANSLATE_NOOP("zenaraForm", "File not found.");
        break;
    case ErrFileBad:
        text = QT_TRANSLATE_NOOP("zenaraForm", "Error loading file.");
        break;
    case ErrInvalidHandle:
        text = QT_TRANSLATE_NOOP("zenaraForm", "An invalid object handle was used.");
        break;
    case ErrOutput:
        text = QT_TRANSLATE_NOOP("zenaraForm", "No audio output is available.");
        break;
    case ErrNotInitialised:
        text = QT_TRANSLATE_NOOP("zenaraForm", "The sound system is not initialised.");
        break;
    default:
        text = QT_TRANSLATE_NOOP("zenaraForm", "Unknown error.");
        break;
    }
    return QCoreApplication::translate("zenaraForm", text);
}

Channel::Channel(System* system, const Dsp* dsp, const Sound* sample)
    : m_system(system), m_dsp(dsp), m_sample(sample)
{
    m_frequency = dsp ? dsp->rate * 100.0f : float(sample->sampleRate);
}

int Channel::setVolume(float volume)
{
    QMutexLocker lock(&m_system->mutex());
    m_volume = std::max(0.0f, volume);
    return Ok;
}

int Channel::setFrequency(float frequency)
{
    QMutexLocker lock(&m_system->mutex());
    m_frequency = std::max(0.0f, frequency);
    return Ok;
}

int Channel::setPaused(bool paused)
{
    QMutexLocker lock(&m_system->mutex());
    m_paused = paused;
    return Ok;
}

float Channel::next(int outputRate)
{
    if (m_dsp) {
        const double hz = m_frequency / 100.0;
        const float value = float(std::sin(m_phase)) * m_volume;
        m_phase = std::fmod(m_phase + 2 * M_PI * hz / outputRate, 2 * M_PI);
        return value;
    }
    const int size = m_sample->samples.size();
    if (size == 0 || m_position >= size)
        return 0.0f;
    const int i = int(m_position);
    const double frac = m_position - i;
    const float a = m_sample->samples.at(i);
    const float b = m_sample->samples.at((i + 1) % size);
    m_position += m_frequency / outputRate;
    if (m_position >= size && m_sample->loop)
        m_position = std::fmod(m_position, double(size));
    return float(a + (b - a) * frac) * m_volume;
}

bool System::outputAvailable()
{
    const QAudioDeviceInfo device = QAudioDeviceInfo::defaultOutputDevice();
    return !device.isNull() && device.isFormatSupported(outputFormat());
}

System::System() = default;

System::~System()
{
    close();
}

int System::getVersion(unsigned* version) const
{
    *version = Version;
    return Ok;
}

int System::init(int maxChannels, bool offline)
{
    m_maxChannels = maxChannels;
    if (offline)
        return Ok;
    if (!outputAvailable())
        return ErrOutput;
    m_device = std::make_unique<MixerDevice>(*this);
    m_output =
        std::make_unique<QAudioOutput>(QAudioDeviceInfo::defaultOutputDevice(), outputFormat());
    m_output->setBufferSize(OutputRate / 10 * 2); // 100 ms
    m_output->start(m_device.get());
    return m_output->error() == QAudio::NoError ? Ok : ErrOutput;
}

int System::createDsp(Dsp** dsp)
{
    m_dsps.push_back(std::make_unique<Dsp>());
    *dsp = m_dsps.back().get();
    return Ok;
}

int System::createSound(const QString& path, bool loop, Sound** sound)
{
    *sound = nullptr;
    if (!QFile::exists(path))
        return ErrFileNotFound;
    SF_INFO info = {};
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!file)
        return ErrFileBad;
    // A header may claim anything: at most ten minutes of 8 channels at 192 kHz.
    if (info.frames <= 0 || info.frames > 600 * 192000 || info.channels < 1 || info.channels > 8) {
        sf_close(file);
        return ErrFileBad;
    }
    auto loaded = std::make_unique<Sound>();
    loaded->sampleRate = info.samplerate;
    loaded->loop = loop;
    std::vector<float> frames(size_t(info.frames) * size_t(std::max(1, info.channels)));
    const sf_count_t read = sf_readf_float(file, frames.data(), info.frames);
    sf_close(file);
    if (read <= 0 || info.channels < 1 || info.samplerate <= 0)
        return ErrFileBad;
    loaded->samples.resize(int(read));
    for (sf_count_t i = 0; i < read; ++i) {
        float sum = 0;
        for (int c = 0; c < info.channels; ++c)
            sum += frames[size_t(i * info.channels + c)];
        loaded->samples[int(i)] = sum / info.channels;
    }
    m_sounds.push_back(std::move(loaded));
    *sound = m_sounds.back().get();
    return Ok;
}

int System::addChannel(const Dsp* dsp, const Sound* sample, bool paused, Channel** channel)
{
    *channel = nullptr;
    if (!dsp && !sample)
        return ErrInvalidHandle;
    if (m_maxChannels <= 0 || int(m_channels.size()) >= m_maxChannels)
        return ErrNotInitialised;
    QMutexLocker lock(&m_mutex);
    m_channels.push_back(std::unique_ptr<Channel>(new Channel(this, dsp, sample)));
    m_channels.back()->m_paused = paused;
    *channel = m_channels.back().get();
    return Ok;
}

int System::playDsp(Dsp* dsp, bool paused, Channel** channel)
{
    return addChannel(dsp, nullptr, paused, channel);
}

int System::playSound(Sound* sound, bool paused, Channel** channel)
{
    return addChannel(nullptr, sound, paused, channel);
}

int System::update()
{
    // The output pulls from the mixer as it needs; nothing to pump here.
    return Ok;
}

int System::close()
{
    if (m_output)
        m_output->stop();
    m_output.reset();
    m_device.reset();
    QMutexLocker lock(&m_mutex);
    m_channels.clear();
    return Ok;
}

void System::render(float* out, int frames)
{
    QMutexLocker lock(&m_mutex);
    std::fill(out, out + frames, 0.0f);
    for (auto& channel : m_channels) {
        if (channel->m_paused)
            continue;
        for (int i = 0; i < frames; ++i)
            out[i] += channel->next(OutputRate);
    }
}

void toPcm16(const float* in, qint16* out, int frames)
{
    // Tone and chime together can pass full scale: clipped, never wrapped
    // round into loud clicks.
    for (int i = 0; i < frames; ++i)
        out[i] = qint16(std::clamp(in[i], -1.0f, 1.0f) * 32767.0f);
}

float toneFrequency(double agcPercent, int minHz, int maxHz, int scaleMin, int scaleMax)
{
    const double d = agcPercent - scaleMin;
    double f = 0;
    if (d > 0) {
        // Equal bounds have no ratio, and an inverted scale must not wrap round
        // to an ultrasonic tone: both keep the lowest pitch.
        // 64-bit: the bounds come from the settings and may be anything.
        const qint64 span = qint64(scaleMax) - scaleMin;
        const qint64 k = span > 0 ? (qint64(maxHz) - minHz) / span : 0;
        f = k > 0 ? std::min(d * double(k), 1e15) : 0;
    }
    const quint16 reduced = quint16(qint64(f) & 0xFFFF);
    return float((double(minHz) + reduced) * 100);
}

QString Signaliser::resultMessage(int result, const QString& file)
{
    QString reason = errorString(result);
    if (!file.isEmpty())
        reason = QCoreApplication::translate("zenaraForm", "%1 (%2)").arg(reason, file);
    return QCoreApplication::translate("zenaraForm", "Sound error! (%1) %2\n")
        .arg(result)
        .arg(reason);
}

QStringList Signaliser::init(const QString& lockSoundPath, const ToneSettings& settings,
                             bool offline)
{
    QStringList problems;
    auto check = [&problems](int result) {
        if (result != Ok)
            problems.append(resultMessage(result));
        return result == Ok;
    };
    m_toneDsp = nullptr;
    m_lockSound = nullptr;
    m_toneChannel = nullptr;
    m_lockChannel = nullptr;
    m_available = true;

    m_system = std::make_unique<System>();
    unsigned version = 0;
    check(m_system->getVersion(&version));
    if (version < RequiredVersion) {
        problems.append(QCoreApplication::translate(
                            "zenaraForm", "You are using an old version of the sound layer %1. "
                                          "This program requires %2\n")
                            .arg(QString::asprintf("%08x", version),
                                 QString::asprintf("%08x", RequiredVersion)));
        m_available = false;
        return problems;
    }
    const int initialised = m_system->init(32, offline);
    if (initialised == ErrOutput) {
        // No sound card (or no sound server, or no audio plugin): no box, the
        // program runs on silently; the debug output says why.
        qCInfo(lcMonitor, "Sound: no audio output was found; the acoustic signal is off");
        m_available = false;
        m_system.reset();
        return problems;
    }
    check(initialised);
    check(m_system->createDsp(&m_toneDsp));
    if (const int loaded = m_system->createSound(lockSoundPath, true, &m_lockSound); loaded != Ok)
        problems.append(resultMessage(loaded, QFileInfo(lockSoundPath).fileName()));
    if (m_toneDsp)
        m_toneDsp->rate = 440.0f;
    m_system->playDsp(m_toneDsp, true, &m_toneChannel);
    m_system->playSound(m_lockSound, false, &m_lockChannel);
    const float volume = settings.volume * 0.01f;
    for (Channel* channel : {m_toneChannel, m_lockChannel}) {
        if (channel) {
            channel->setVolume(volume);
            channel->setPaused(true);
        }
    }
    if (m_toneDsp)
        m_toneDsp->waveform = 0;
    m_system->update();
    return problems;
}

void Signaliser::tick(bool locked, double agcPercent, const ToneSettings& settings, bool enabled)
{
    if (!m_available || !enabled)
        return;
    if (m_lockChannel)
        m_lockChannel->setPaused(!locked);
    const float volume = settings.volume * 0.01f;
    if (m_toneChannel) {
        m_toneChannel->setVolume(volume);
        m_toneChannel->setFrequency(toneFrequency(agcPercent, settings.freqMinHz,
                                                  settings.freqMaxHz, settings.scaleMin,
                                                  settings.scaleMax));
        m_toneChannel->setPaused(false);
    }
    if (m_lockChannel)
        m_lockChannel->setVolume(volume);
    m_system->update();
}

void Signaliser::setEnabled(bool on)
{
    if (m_toneChannel)
        m_toneChannel->setPaused(!on);
    if (!on && m_lockChannel)
        m_lockChannel->setPaused(true);
}

QStringList Signaliser::shutdown()
{
    QStringList problems;
    if (m_system && m_system->close() != Ok)
        problems.append(resultMessage(ErrInvalidHandle));
    m_toneChannel = nullptr;
    m_lockChannel = nullptr;
    m_toneDsp = nullptr;
    m_lockSound = nullptr;
    m_system.reset();
    m_available = false;
    return problems;
}

} // namespace sound
