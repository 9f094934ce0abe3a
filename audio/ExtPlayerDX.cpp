#include "audio/ExtPlayerDX.h"

#include "libs/trestle/SD2MME.h"
#include "platform/RealTimeSection.h"
#include "platform/ThreadPriority.h"
#include "platform/audio/DeviceSelection.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <system_error>

namespace {

std::mutex g_overrideLock;
CExtPlayerDX::DeviceFactory g_override;

std::unique_ptr<platform::audio::OutputDevice> ConfiguredDevice(std::string* error) {
    {
        std::lock_guard<std::mutex> lock(g_overrideLock);
        if (g_override) return g_override(error);
    }
    return platform::audio::CreateOutputDevice(platform::audio::SelectedOutputDeviceName(), error);
}

// 5 ms: long enough that the step of a full-scale square becomes a slope no
// speaker clicks on, short enough that nobody hears it as a fade.
std::uint32_t FadeFrames(std::uint32_t rate) {
    return std::max<std::uint32_t>(1, rate / 200);
}

// Multiplies one integer PCM sample in place (8-bit unsigned, 16/24/32-bit
// signed little-endian).
void ScaleSample(std::uint8_t* p, unsigned bytes, float gain) {
    switch (bytes) {
    case 1:
        *p = static_cast<std::uint8_t>(128 + std::lround((static_cast<int>(*p) - 128) * gain));
        break;
    case 2: {
        std::int16_t v;
        std::memcpy(&v, p, 2);
        v = static_cast<std::int16_t>(std::lround(v * gain));
        std::memcpy(p, &v, 2);
        break;
    }
    case 3: {
        std::int32_t v = p[0] | (p[1] << 8) | (static_cast<std::int8_t>(p[2]) * 65536);
        v = static_cast<std::int32_t>(std::lround(v * gain));
        p[0] = static_cast<std::uint8_t>(v);
        p[1] = static_cast<std::uint8_t>(v >> 8);
        p[2] = static_cast<std::uint8_t>(v >> 16);
        break;
    }
    case 4: {
        std::int32_t v;
        std::memcpy(&v, p, 4);
        v = static_cast<std::int32_t>(std::llround(static_cast<double>(v) * gain));
        std::memcpy(p, &v, 4);
        break;
    }
    default:
        break;
    }
}

} // namespace

void CExtPlayerDX::OverrideConfiguredDevice(DeviceFactory factory) {
    std::lock_guard<std::mutex> lock(g_overrideLock);
    g_override = std::move(factory);
}

CExtPlayerDX::CExtPlayerDX(DeviceFactory factory)
    : deviceFactory(factory ? std::move(factory) : DeviceFactory(&ConfiguredDevice)) {}

CExtPlayerDX::~CExtPlayerDX() {
    const std::uint32_t s = state.load();
    if (s == kPlaying || s == kPaused) Stop(kStopRequested);
    EndThread();
    CloseDevice();
}

std::string CExtPlayerDX::GetDeviceError() const {
    std::lock_guard<std::mutex> lock(errorLock);
    return deviceError;
}

void CExtPlayerDX::SetDeviceError(std::string error) {
    std::lock_guard<std::mutex> lock(errorLock);
    deviceError = std::move(error);
}

bool CExtPlayerDX::OnNotificationThread() const {
    return notificationThreadId.load() == std::this_thread::get_id();
}

void CExtPlayerDX::EndThread() {
    if (OnNotificationThread() || !thread.joinable()) return;
    stopEvent.Set();
    thread.join();
    notificationThreadId = std::thread::id();
}

void CExtPlayerDX::CountNotification() {
    handled.fetch_add(1);
    handledEvent.Set();
}

std::uint64_t CExtPlayerDX::NotificationsHandled() const {
    return handled.load();
}

bool CExtPlayerDX::WaitForNotificationsHandled(std::uint64_t count, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (handled.load() < count) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return handled.load() >= count;
        // In short waits: a second waiter may have taken the wake-up.
        handledEvent.Wait(static_cast<int>(std::min<long long>(left, 20)));
    }
    return true;
}

std::uint32_t CExtPlayerDX::OpenDevice() {
    CExtPlayer::OpenDevice();
    std::lock_guard<std::mutex> lock(deviceLock);
    SetDeviceError({});
    deviceLost = false;
    std::string error;
    device = deviceFactory(&error);
    if (!device) {
        SetDeviceError(error.empty() ? "no output device" : error);
        state.exchange(kFailed);
        return kError;
    }

    // The output layout is fixed for the whole run: a surround switch while
    // playing takes effect at the next Play, since the device cannot change
    // its channel count under a running buffer.
    WAVEFORMATEXTENSIBLE out = format;
    {
        std::lock_guard<std::mutex> processing(processingLock);
        runSurround = surroundOn;
        if (runSurround) {
            // Takes the speaker layout chosen since the last format change,
            // and starts the run with empty delay lines.
            surround.SetFormat(&format);
            const auto c = static_cast<std::uint16_t>(surround.OutputChannels());
            out.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
            out.Format.nChannels = c;
            // The processor's output is always 16-bit PCM.
            out.Format.wBitsPerSample = 16;
            out.Format.nBlockAlign = static_cast<std::uint16_t>(2 * c);
            out.Format.nAvgBytesPerSec = format.Format.nSamplesPerSec * 2 * c;
            out.Format.cbSize = 22;
            out.Samples.wValidBitsPerSample = 0;
            out.dwChannelMask = surround.OutputChannelMask();
            out.SubFormat = KSDATAFORMAT_SUBTYPE_PCM;
        }
    }
    outChannels = out.Format.nChannels;
    outFrameBytes = out.Format.nBlockAlign;
    renderFormat = out.Format;
    silenceByte = out.Format.wBitsPerSample == 8 ? 0x80 : 0x00;

    // Whole frames per segment, so every notification and every refill
    // region falls on a frame boundary.
    const std::uint32_t segment =
        outFrameBytes ? (segmentBytes / outFrameBytes) * outFrameBytes : 0;
    bufferBytes = segment * segmentCount;
    bool opened = false;
    if (outChannels == 0 || segment == 0) {
        SetDeviceError("the output format has no whole frame in a segment");
    } else if (!device->Open(out.Format, bufferBytes)) {
        SetDeviceError(device->Error());
    } else {
        std::vector<platform::audio::NotificationPosition> positions;
        for (std::uint32_t i = 0; i < segmentCount; ++i) {
            Segment s;
            s.offset = (bufferBytes / segmentCount) * (i + 1) - 1;
            s.event = std::make_unique<platform::Event>(platform::Event::Reset::Manual);
            positions.push_back({s.offset, s.event.get()});
            notifications.push_back(std::move(s));
        }
        opened = device->SetNotificationPositions(positions);
        if (!opened) SetDeviceError(device->Error());
        deviceFailedEvent.ResetEvent();
        device->SetFailureEvent(&deviceFailedEvent);
    }
    if (!opened) {
        // The player is still stopped and no thread runs yet, so closing
        // comes down to releasing what was made.
        ReleaseDevice();
        state.exchange(kFailed);
        return kError;
    }
    state.exchange(kPlaying);
    return kDone;
}

void CExtPlayerDX::FailRun() {
    std::lock_guard<std::recursive_mutex> transport(transportLock);
    const std::uint32_t s = state.load();
    if (s != kPlaying && s != kPaused) return; // a stop got here first
    {
        std::lock_guard<std::mutex> lock(deviceLock);
        if (!device) return;
        SetDeviceError(device->FailureReason());
        device->Stop();
    }
    deviceLost = true;
    stopReason.exchange(kDeviceFailure);
    state.exchange(kFailed);
}

std::uint32_t CExtPlayerDX::CloseDevice() {
    CExtPlayer::CloseDevice();
    // Whatever state we are in, no thread may touch the device once it goes.
    EndThread();
    std::lock_guard<std::mutex> lock(deviceLock);
    ReleaseDevice();
    return kDone;
}

void CExtPlayerDX::ReleaseDevice() {
    if (device) device->Close();
    notifications.clear();
    device.reset();
    bufferBytes = 0;
}

std::uint32_t CExtPlayerDX::Play() {
    std::lock_guard<std::recursive_mutex> transport(transportLock);
    const std::uint32_t before = state.load();
    // A source starting over from its end-of-stream call is on the output
    // thread, which is still running: a new run would replace its handle.
    if (before == kStopped && OnNotificationThread()) return kWrongState;
    // A run that ended by itself leaves its finished thread to be joined.
    if (before == kStopped) EndThread();
    const std::uint32_t result = CExtPlayer::Play();
    if (result != kDone || before != kStopped) return result;

    stopEvent.ResetEvent();
    doneEvent.ResetEvent();
    handled = 0;
    readFrame = 0;
    writeOffset = 0;
    lastFillCursor = kNoCursor;
    deferredStop = 0;
    fadeInFrames = fadeInNextRun ? FadeFrames(format.Format.nSamplesPerSec) : 0;
    fadeInDone = 0;
    fadeInNextRun = false;
    try {
        thread = std::thread([this] { NotificationThread(); });
    } catch (const std::system_error& e) {
        SetDeviceError(std::string("cannot start the output thread: ") + e.what());
        // No thread will signal that it is done; the stop inside CloseDevice
        // would otherwise wait for it for ever.
        doneEvent.Set();
        CloseDevice();
        state.exchange(kFailed);
        stopReason.exchange(kDeviceFailure);
        return kError;
    }
    Fill(); // a stop the source asks for in here is put off until it returns
    if (const std::uint32_t reason = deferredStop.exchange(0)) {
        Stop(reason);
        return kDone;
    }
    if (!device->Play()) {
        SetDeviceError(device->Error());
        CloseDevice(); // ends the thread before the device goes
        state.exchange(kFailed);
        stopReason.exchange(kDeviceFailure);
        return kError;
    }
    return kDone;
}

std::uint32_t CExtPlayerDX::Stop(std::uint32_t reason) {
    if (refillingThread.load() == std::this_thread::get_id()) {
        // The stream callback, in the middle of a refill that still writes
        // into the device buffer: the device cannot go yet. The refill ends
        // at once (stopEvent) and its caller then carries out the stop,
        // under the transport lock. Not taken here: the source lock is held,
        // and Play takes the two the other way round.
        const std::uint32_t s = state.load();
        if (s == kFailed) return kNotAvailable;
        if (s == kStopped) return kDone;
        deferredStop = reason;
        stopEvent.Set();
        return kDone;
    }
    const bool fromThread = OnNotificationThread();
    if (!fromThread) {
        {
            std::lock_guard<std::recursive_mutex> transport(transportLock);
            const std::uint32_t s = state.load();
            if (s == kFailed) return kNotAvailable;
            if (s == kStopped) return kDone;
            stopEvent.Set();
        }
        // Without the transport lock: the thread may be stopping itself at
        // its end-of-stream mark right now and needs the lock for that.
        doneEvent.Wait();
        EndThread();
    }
    std::lock_guard<std::recursive_mutex> transport(transportLock);
    const std::uint32_t s = state.load();
    if (s == kFailed) return kNotAvailable;
    if (s == kStopped) return kDone; // the thread got there first
    stopEvent.Set();
    {
        std::lock_guard<std::mutex> lock(deviceLock);
        if (device) device->Stop();
    }
    return CExtPlayer::Stop(reason);
}

std::uint32_t CExtPlayerDX::StopSmoothly() {
    if (OnNotificationThread() || refillingThread.load() == std::this_thread::get_id())
        return Stop(kStopRequested);
    {
        std::lock_guard<std::recursive_mutex> transport(transportLock);
        if (state.load() != kPlaying) return Stop(kStopRequested);
        stopEvent.Set();
    }
    // No refill may write into the buffer while it fades; as in Stop, the
    // thread may need the transport lock to finish.
    doneEvent.Wait();
    EndThread();
    {
        std::lock_guard<std::recursive_mutex> transport(transportLock);
        // The run may have ended or failed on its own meanwhile.
        if (state.load() == kPlaying) {
            std::lock_guard<std::mutex> lock(deviceLock);
            if (device && device->IsPlaying()) FadeOutAndPlayOn();
            fadeInNextRun = true;
        }
    }
    return Stop(kStopRequested);
}

void CExtPlayerDX::FadeOutAndPlayOn() {
    const std::uint32_t frameBytes = outFrameBytes;
    const std::uint32_t ringFrames = frameBytes ? bufferBytes / frameBytes : 0;
    if (ringFrames < 4) return;
    const std::uint32_t rate = renderFormat.nSamplesPerSec;
    // The margin skips what the backend may be copying out right now; both
    // it and the fade stay within half the ring, so the device is stopped
    // well before it could come round to the unfaded margin again.
    const std::uint32_t margin = std::min(std::max<std::uint32_t>(1, rate / 100), ringFrames / 4);
    const std::uint32_t fade = std::min(FadeFrames(rate), ringFrames / 4);
    const std::uint32_t start = (device->GetCurrentPosition() + margin * frameBytes) % bufferBytes;
    void *p1 = nullptr, *p2 = nullptr;
    std::uint32_t n1 = 0, n2 = 0;
    if (!device->Lock(start, bufferBytes - margin * frameBytes, &p1, &n1, &p2, &n2)) return;
    const unsigned sampleBytes = renderFormat.wBitsPerSample / 8u;
    std::uint32_t frame = 0;
    for (auto [p, n] : {std::pair{static_cast<std::uint8_t*>(p1), n1},
                        std::pair{static_cast<std::uint8_t*>(p2), n2}}) {
        for (std::uint32_t at = 0; p && at + frameBytes <= n; at += frameBytes, ++frame) {
            if (frame >= fade) {
                std::memset(p + at, silenceByte, n - at);
                break;
            }
            const float gain = static_cast<float>(fade - frame - 1) / static_cast<float>(fade);
            for (std::uint32_t b = 0; b + sampleBytes <= frameBytes; b += sampleBytes)
                ScaleSample(p + at + b, sampleBytes, gain);
        }
    }
    device->Unlock(p1, n1, p2, n2);
    // Generous: a sound server hands the cursor on in blocks of its own.
    const int fadeMs =
        static_cast<int>(1000ull * (margin + fade) / std::max<std::uint32_t>(1, rate));
    device->PlayOn((margin + fade) * frameBytes, 2 * fadeMs + 200);
}

void CExtPlayerDX::FadeInBlock() {
    const std::uint32_t n = std::min(block.valid, fadeInFrames - fadeInDone);
    for (float* c : block.channels) {
        if (!c) continue;
        for (std::uint32_t i = 0; i < n; ++i)
            c[i] *= static_cast<float>(fadeInDone + i) / static_cast<float>(fadeInFrames);
    }
    fadeInDone += n;
}

std::uint32_t CExtPlayerDX::Pause() {
    std::lock_guard<std::recursive_mutex> transport(transportLock);
    const std::uint32_t s = state.load();
    if (s == kFailed) return kNotAvailable;
    if (s == kStopped) return kDone;
    std::lock_guard<std::mutex> lock(deviceLock);
    if (s == kPaused) {
        if (!device || !device->Play()) {
            state.exchange(kFailed);
            return kError;
        }
        state.store(kPlaying);
    } else {
        if (!device || !device->Stop()) {
            state.exchange(kFailed);
            return kError;
        }
        state.store(kPaused);
    }
    return kDone;
}

std::uint32_t CExtPlayerDX::Reset() {
    if (state.load() == kFailed) {
        // A run that failed part-way (a resume the device refused) still has
        // its thread and its device; a stopped player has neither.
        EndThread();
        std::lock_guard<std::mutex> lock(deviceLock);
        ReleaseDevice();
    }
    return CExtPlayer::Reset();
}

std::uint32_t CExtPlayerDX::SetVolume(std::uint32_t v) {
    CExtPlayer::SetVolume(v);
    return SetBalance(balance.load());
}

std::uint32_t CExtPlayerDX::SetBalance(std::uint32_t b) {
    CExtPlayer::SetBalance(b);
    if (state.load() == kFailed) return kDone;
    const int vol = static_cast<int>(volume.load());
    const int bal = static_cast<int>(balance.load());
    gainL = static_cast<float>(vol * (50 - std::max(0, bal - 50))) / 5000.0f;
    gainR = static_cast<float>(vol * (50 - std::max(0, 50 - bal))) / 5000.0f;
    return kDone;
}

std::uint32_t CExtPlayerDX::Fill() {
    if (stopReason.load() == kEndOfStream || !device) return 2;
    refillingThread = std::this_thread::get_id();
    sourceBusy = false;
    const std::uint32_t result = Refill();
    refillingThread = std::thread::id();
    return result;
}

std::uint32_t CExtPlayerDX::Refill() {
    const std::uint32_t cursor = device->GetCurrentPosition();
    // Equal offsets mean the whole buffer is free only when the cursor has
    // moved since the last refill (the first fill of a run, or a source that
    // ran dry a cycle ago). Two notifications handled back to back with the
    // cursor still in place leave nothing free: the whole buffer would then
    // overwrite audio that has not played yet.
    const bool cursorStill = cursor == lastFillCursor;
    lastFillCursor = cursor;
    if (cursor == writeOffset && cursorStill) return 0;
    const std::uint32_t n =
        cursor > writeOffset ? cursor - writeOffset : bufferBytes - (writeOffset - cursor);
    void *p1 = nullptr, *p2 = nullptr;
    std::uint32_t n1 = 0, n2 = 0;
    device->Lock(writeOffset, n, &p1, &n1, &p2, &n2);
    const std::uint32_t w1 = Render(static_cast<std::uint8_t*>(p1), n1);
    const std::uint32_t w2 = Render(static_cast<std::uint8_t*>(p2), n2);
    // What the source did not fill plays as silence, not as whatever the
    // buffer held a cycle ago.
    if (w1 < n1) std::memset(static_cast<std::uint8_t*>(p1) + w1, silenceByte, n1 - w1);
    if (w2 < n2) std::memset(static_cast<std::uint8_t*>(p2) + w2, silenceByte, n2 - w2);
    device->Unlock(p1, n1, p2, n2);
    const std::uint32_t written = w1 + w2;
    writeOffset += written;
    if (writeOffset >= bufferBytes) writeOffset -= bufferBytes;
    return written < n1 + n2 && !sourceBusy ? 2 : 0;
}

std::uint32_t CExtPlayerDX::Render(std::uint8_t* dst, std::uint32_t size) {
    if (!dst || size == 0) return 0;
    std::uint32_t written = 0;
    while (written < size) {
        if (readFrame < block.valid) {
            const std::uint32_t k =
                std::min(block.valid - readFrame, (size - written) / outFrameBytes);
            // Less than a frame of room left: only a buffer that is not a
            // whole number of frames could get here; never loop on it.
            if (k == 0) return written;
            if (blockSilent)
                std::memset(dst + written, silenceByte, std::size_t{k} * outFrameBytes);
            else
                SD2MME(&block, readFrame, k, dst + written, &renderFormat);
            written += k * outFrameBytes;
            readFrame += k;
        }
        if (written == size) return written;
        // A stop is waiting for this thread: pulling on only delays it, and a
        // source that keeps answering with empty blocks would hold it for ever.
        if (stopEvent.IsSet()) return written;
        {
            std::unique_lock<std::recursive_mutex> lock(sourceLock, std::try_to_lock);
            if (!lock.owns_lock()) {
                sourceBusy = true;
                return written;
            }
            PrepareBlock();
            readFrame = 0;
            if (PullBlock() == 0) return written;
        }
        blockSilent = !ProcessBlock(gainL.load(), gainR.load(), runSurround);
        if (fadeInDone < fadeInFrames) FadeInBlock();
    }
    return written;
}

void CExtPlayerDX::NotificationThread() {
    notificationThreadId = std::this_thread::get_id();
    // It refills the device's buffer in time or the device plays stale
    // sound: the same priority as the recorder's capture thread.
    platform::RaiseCurrentThreadPriority();
    std::vector<platform::Event*> handles;
    for (auto& s : notifications)
        handles.push_back(s.event.get());
    handles.push_back(&stopEvent);
    const int stopIndex = static_cast<int>(handles.size()) - 1;
    handles.push_back(&deviceFailedEvent);
    const int failedIndex = stopIndex + 1;
    int mark = -1;
    for (;;) {
        const int i = platform::WaitForAny(handles);
        if (i < 0 || i == stopIndex) break;
        if (i == failedIndex) {
            FailRun();
            CountNotification();
            break;
        }
        if (i == mark) {
            Stop(kEndOfStream);
            CountNotification();
            break;
        }
        std::uint32_t filled;
        {
            const platform::RealTimeSection realTime;
            filled = Fill();
        }
        if (filled != 0 && mark < 0) mark = i;
        handles[i]->ResetEvent();
        if (const std::uint32_t reason = deferredStop.exchange(0)) {
            Stop(reason); // asked for by the source during the refill
            CountNotification();
            break;
        }
        CountNotification();
    }
    doneEvent.Set();
}
