#include "audio/ExtPlayer.h"

#include "dsp/nsp.h"
#include "platform/audio/DeviceSelection.h"

#include <algorithm>
#include <cstring>

namespace {

WAVEFORMATEXTENSIBLE DefaultFormat() {
    WAVEFORMATEXTENSIBLE f{};
    f.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    f.Format.nChannels = 2;
    f.Format.nSamplesPerSec = 44100;
    f.Format.wBitsPerSample = 16;
    f.Format.nBlockAlign = (16 / 8) * 2;
    f.Format.nAvgBytesPerSec = 44100 * 4;
    f.Format.cbSize = 22;
    f.Samples.wValidBitsPerSample = 0;
    f.dwChannelMask = 0x3;
    f.SubFormat = KSDATAFORMAT_SUBTYPE_PCM;
    return f;
}

} // namespace

CExtPlayer::CExtPlayer() {
    format = DefaultFormat();
    AllocateBlock();
    eqGains.fill(1.0f);
    {
        std::scoped_lock lock(processingLock, designLock);
        Redesign(format.Format.nSamplesPerSec);
        TakeEqualizerDesign();
    }
    surround.SetFormat(&format);
    std::uint32_t v = 100, b = 50;
    VolumeBalanceFromLevel(platform::audio::DefaultOutputVolume(), &v, &b);
    volume = v;
    balance = b;
}

CExtPlayer::~CExtPlayer() = default;

void CExtPlayer::VolumeBalanceFromLevel(std::uint32_t level, std::uint32_t* volumeOut,
                                        std::uint32_t* balanceOut) {
    const std::uint32_t left = (((level & 0xFFFF) + 1) * 5000) >> 16;
    const std::uint32_t right = (((level >> 16) + 1) * 5000) >> 16;
    if (left == 0 && right == 0) {
        *volumeOut = 0;
        *balanceOut = 50;
    } else if (left < right) {
        *volumeOut = right / 50;
        *balanceOut = 100 - (left * 50) / right;
    } else {
        *volumeOut = left / 50;
        *balanceOut = (right * 50) / left;
    }
}

bool CExtPlayer::FormatFits(const WAVEFORMATEXTENSIBLE& f, std::uint32_t bytes) {
    const unsigned bits = f.Format.wBitsPerSample;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    if (f.Format.nChannels == 0 || f.Format.nChannels > kMaxChannels) return false;
    if (f.Format.nSamplesPerSec == 0) return false;
    if (f.Format.nBlockAlign != f.Format.nChannels * bits / 8) return false;
    return bytes >= f.Format.nBlockAlign;
}

void CExtPlayer::AllocateBlock() {
    std::lock_guard<std::mutex> lock(processingLock);
    blockFrames = segmentBytes / format.Format.nBlockAlign;
    channelStore.assign(format.Format.nChannels, std::vector<float>(blockFrames, 0.0f));
    // The surround processor leaves up to eight channels in the block: room
    // for their pointers now, so the output thread never grows the vector.
    block.channels.clear();
    block.channels.reserve(kMaxChannels);
    surround.SetMaxBlockFrames(blockFrames);
    for (auto& c : channelStore)
        block.channels.push_back(c.data());
    block.frames = blockFrames;
    block.valid = 0;
}

void CExtPlayer::PrepareBlock() {
    block.channels.resize(channelStore.size());
    for (std::size_t i = 0; i < channelStore.size(); ++i) {
        std::fill(channelStore[i].begin(), channelStore[i].end(), 0.0f);
        block.channels[i] = channelStore[i].data();
    }
    block.frames = blockFrames;
    block.valid = 0;
}

std::uint32_t CExtPlayer::PullBlock() {
    if (!source) return 0;
    const std::uint32_t result = source(sourceUser, &block, 0);
    // The arrays are the player's: a callback cannot make them longer, and a
    // count beyond them would render past their end.
    block.frames = blockFrames;
    block.valid = std::min(block.valid, blockFrames);
    if (block.channels.size() > channelStore.size()) block.channels.resize(channelStore.size());
    return result;
}

void CExtPlayer::ApplyChannelGains(StreamBuffer& blk, std::uint32_t mask, float gainL, float gainR,
                                   float centre) {
    const std::size_t n = blk.channels.size();
    if (blk.frames == 0) return;
    const int frames = static_cast<int>(blk.frames);
    auto scale = [&](std::size_t pos, float gain) {
        if (pos < n && blk.channels[pos]) nspsbMpy1(gain, blk.channels[pos], frames);
    };
    auto each = [&](std::initializer_list<std::size_t> positions, float gain) {
        for (std::size_t p : positions)
            scale(p, gain);
    };
    if (n == 1) {
        scale(0, centre);
        return;
    }
    if (n == 2) {
        scale(0, gainL);
        scale(1, gainR);
        return;
    }
    switch (mask) {
    case 0x0B:
        each({0}, gainL);
        each({1}, gainR);
        each({2}, centre);
        break;
    case 0x33:
        each({0, 2}, gainL);
        each({1, 3}, gainR);
        break;
    case 0x3B:
        each({0}, gainL);
        each({1}, gainR);
        each({2, 3, 4}, centre);
        break;
    case 0x3F:
        each({0, 4}, gainL);
        each({1, 5}, gainR);
        each({2, 3}, centre);
        break;
    case 0x63B:
        each({0, 4}, gainL);
        each({1, 5}, gainR);
        each({2, 3, 6}, centre);
        break;
    case 0x63F:
        each({0, 4, 6}, gainL);
        each({1, 5, 7}, gainR);
        each({2, 3}, centre);
        break;
    case 0xFF:
        each({0, 4}, gainL);
        each({1, 5}, gainR);
        each({2, 3}, centre);
        scale(6, (3 * gainL + gainR) / 4);
        scale(7, (3 * gainR + gainL) / 4);
        break;
    default:
        break; // other layouts play at full level
    }
}

void CExtPlayer::Redesign(std::uint32_t rate) {
    designRate = rate;
    if (eqDesign.GetSampleRate() != rate) eqDesign.SetSampleRate(rate);
    eqDesign.SetGains(eqGains.data());
    designChanged.store(true, std::memory_order_release);
}

void CExtPlayer::TakeEqualizerDesign() {
    for (auto& eq : equalizers)
        eq.TakeDesign(eqDesign);
    runEqOn = eqOn.load();
    designChanged.store(false, std::memory_order_relaxed);
}

bool CExtPlayer::ProcessBlock(float gainL, float gainR, bool runSurround) {
    std::unique_lock<std::mutex> lock(processingLock, std::try_to_lock);
    if (!lock.owns_lock()) return false;
    if (designChanged.load(std::memory_order_acquire)) {
        // A setter busy with a design now: this block keeps the last one.
        std::unique_lock<std::mutex> design(designLock, std::try_to_lock);
        if (design.owns_lock()) TakeEqualizerDesign();
    }
    if (block.frames == 0) return true;
    if (runEqOn) {
        const std::size_t n = std::min<std::size_t>(block.channels.size(), kMaxChannels);
        for (std::size_t i = 0; i < n; ++i)
            if (block.channels[i])
                equalizers[i].Process(block.frames, block.channels[i], block.channels[i]);
    }
    ApplyChannelGains(block, format.dwChannelMask, gainL, gainR,
                      static_cast<float>(volume.load()) / 100.0f);
    if (runSurround) surround.Process(&block);
    return true;
}

std::uint32_t CExtPlayer::Play() {
    if (!source) return kNotAvailable;
    switch (state.load()) {
    case kPlaying:
        return kDone;
    case kFailed:
        return kNotAvailable;
    case kPaused:
        return Pause();
    default:
        break;
    }
    // Only a stopped player starts from a clean block: while playing or
    // paused the output thread owns it.
    {
        std::lock_guard<std::mutex> lock(processingLock);
        PrepareBlock();
    }
    SetVolume(volume.load());
    {
        // The run starts with the latest design, whatever the first block
        // would find.
        std::scoped_lock lock(processingLock, designLock);
        TakeEqualizerDesign();
        for (auto& eq : equalizers)
            eq.Reset();
    }
    const std::uint32_t result = OpenDevice();
    if (result != kDone) {
        state.exchange(kFailed);
        stopReason.exchange(kDeviceFailure);
    }
    return result;
}

std::uint32_t CExtPlayer::Stop(std::uint32_t reason) {
    const std::uint32_t s = state.load();
    if (s == kFailed) return kNotAvailable;
    if (s == kStopped) return kDone;
    stopReason.exchange(reason);
    state.exchange(kStopped);
    const std::uint32_t result = CloseDevice();
    if (reason == kEndOfStream) {
        std::lock_guard<std::recursive_mutex> lock(sourceLock);
        if (source) {
            StreamBuffer end;
            end.frames = 1;
            source(sourceUser, &end, 0);
        }
    }
    return result;
}

std::uint32_t CExtPlayer::Pause() {
    return kDone;
}

std::uint32_t CExtPlayer::Reset() {
    const std::uint32_t s = state.load();
    std::uint32_t result = kDone;
    if (s != kFailed && s != kStopped) result = CloseDevice();
    if (result == kDone) {
        state.exchange(kStopped);
        stopReason.exchange(kNoReason);
    }
    return result;
}

std::uint32_t CExtPlayer::SetFormat(const WAVEFORMATEXTENSIBLE* newFormat) {
    const std::uint32_t s = state.load();
    if (s == kFailed) return kNotAvailable;
    if (s != kStopped) return kWrongState;
    if (!newFormat || !FormatFits(*newFormat, segmentBytes)) return kError;
    const bool rateChanged = newFormat->Format.nSamplesPerSec != format.Format.nSamplesPerSec;
    format = *newFormat;
    surround.SetFormat(&format);
    AllocateBlock();
    if (rateChanged) {
        // Designing for the old rate would move every band edge.
        std::lock_guard<std::mutex> lock(designLock);
        Redesign(format.Format.nSamplesPerSec);
    }
    return kDone;
}

std::uint32_t CExtPlayer::SetBufferSize(std::uint32_t bytes) {
    const std::uint32_t s = state.load();
    if (s == kFailed) return kNotAvailable;
    if (s != kStopped) return kWrongState;
    if (bytes == segmentBytes) return kDone;
    if (bytes < format.Format.nBlockAlign || bytes > kMaxBufferSize) return kError;
    segmentBytes = bytes;
    AllocateBlock();
    return kDone;
}

std::uint32_t CExtPlayer::SetBufferCount(std::uint32_t count) {
    const std::uint32_t s = state.load();
    if (s == kFailed) return kNotAvailable;
    if (s != kStopped) return kWrongState;
    // No segments would leave nothing to play and divide by zero when the
    // buffer is laid out.
    if (count == 0 || count > kMaxBufferCount) return kError;
    segmentCount = count;
    return kDone;
}

std::uint32_t CExtPlayer::SetVolume(std::uint32_t v) {
    volume = std::min<std::uint32_t>(v, 100);
    return kDone;
}

std::uint32_t CExtPlayer::SetBalance(std::uint32_t b) {
    balance = std::min<std::uint32_t>(b, 100);
    return kDone;
}

std::uint32_t CExtPlayer::OpenDevice() {
    stopReason.exchange(kNoReason);
    return kDone;
}

std::uint32_t CExtPlayer::CloseDevice() {
    if (state.load() != kStopped) Stop(kStopRequested);
    return kDone;
}

std::uint32_t CExtPlayer::SetStreamCallback(PlayerStreamCallback callback, void* user) {
    const std::uint32_t s = state.load();
    if (s == kPlaying || s == kPaused) return kWrongState;
    std::lock_guard<std::recursive_mutex> lock(sourceLock);
    if (callback == source && user == sourceUser) return kDone;
    if (source) {
        StreamBuffer detach; // no channels, frames 0
        source(sourceUser, &detach, 0);
    }
    source = callback;
    sourceUser = user;
    return kDone;
}

void CExtPlayer::SetEqualizer(const float* gains, int, bool on) {
    if (!gains) return;
    std::lock_guard<std::mutex> lock(designLock);
    std::copy(gains, gains + kEqBands, eqGains.begin());
    eqOn = on;
    Redesign(designRate);
}

void CExtPlayer::SetSurroundOn(bool on) {
    surroundOn = on;
}

void CExtPlayer::SetSurroundParams(const SurroundParams& p) {
    // Paused around the change, so no block is processed half-configured.
    Pause();
    surround.SetLFEMaxFreq(p.lfeFrequency, true);
    surround.SetVolume(p.positioningVolume, true);
    surround.SetLFEVolume(p.lfeVolume, true);
    surround.SetRevWet(p.reverberationVolume);
    surround.SetRevDry(p.originalVolume);
    surround.SetRevAbsorb(p.absorption);
    surround.SetRevHFDecay(p.hiFreqDecay);
    surround.SetRoomSize(p.roomWidth, p.roomHeight, true);
    surround.SetSoundPos(p.soundX, p.soundY, true);
    surround.SetMoveOff(p.delays);
    surround.SetReverb(p.reverberation);
    surround.SetProcessAdvance(p.processAdvance);
    Pause();
}

void CExtPlayer::SetSurroundParam(int id, int value) {
    const float v = static_cast<float>(value);
    switch (id) {
    case 1:
        surround.SetLFEMaxFreq(value, true);
        break;
    case 3:
        surround.SetLFEVolume(v / 100, true);
        break;
    case 4:
        surround.SetSpeakersConfig(value, true);
        break;
    case 5:
        surround.SetReverb(value != 0);
        break;
    case 6:
        surround.SetMoveOff(value != 0);
        break;
    case 7:
        surround.SetProcessAdvance(value != 0);
        break;
    case 11:
        surround.SetRoomSize(v / 10, v / 10, true);
        break;
    case 12:
        surround.SetRevAbsorb(v / 100);
        break;
    case 13:
        surround.SetRevHFDecay(v / 100);
        break;
    case 14:
        surround.SetVolume(v / 100, true);
        break;
    case 15:
        surround.SetRevDry(v / 100);
        break;
    case 16:
        surround.SetRevWet(v / 100);
        break;
    default:
        break;
    }
}

void CExtPlayer::SetSoundPosition(float x, float y) {
    surround.SetSoundPos(x, y, true);
}
