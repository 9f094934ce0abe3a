#include "audio/ExtMicro.h"

#include "platform/ThreadPriority.h"
#include "platform/audio/DeviceSelection.h"

#include <chrono>
#include <new>
#include <system_error>

namespace {

std::unique_ptr<platform::audio::CaptureDevice> ConfiguredDevice(std::string* error) {
    return platform::audio::CreateCaptureDevice(platform::audio::SelectedInputDeviceName(), error);
}

std::uint32_t TickCount() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace

CExtMicro::CExtMicro(DeviceFactory factory)
    : deviceFactory(factory ? std::move(factory) : DeviceFactory(&ConfiguredDevice)) {
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = 44100;
    format.nAvgBytesPerSec = 88200;
    format.nBlockAlign = 2;
    format.wBitsPerSample = 16;
    format.cbSize = 0;
}

CExtMicro::~CExtMicro() {
    // The device and the buffers must not go while the capture thread or
    // the device's thread may still touch them.
    const std::uint32_t s = state.load();
    if (s == kRecording || s == kPaused) Stop();
    state.exchange(kStopped);
    EndThread();
    CloseDevice();
}

bool CExtMicro::OnCaptureThread() const {
    return captureThreadId.load() == std::this_thread::get_id();
}

void CExtMicro::EndThread() {
    if (OnCaptureThread() || !captureThread.joinable()) return;
    // The state is stopped or failed here, so the thread ends when it wakes.
    captureEvent.Set();
    captureThread.join();
    captureThreadId = std::thread::id();
}

std::string CExtMicro::GetDeviceError() const {
    std::lock_guard<std::mutex> lock(errorLock);
    return deviceError;
}

void CExtMicro::SetDeviceError(std::string error) {
    std::lock_guard<std::mutex> lock(errorLock);
    deviceError = std::move(error);
}

void CExtMicro::FailRun() {
    SetDeviceError(device->FailureReason());
    deviceLost = true;
    // Only a running recording fails: a stop or reset that got here first
    // has already made the state stopped, and it stays so.
    for (std::uint32_t s = state.load(); s == kRecording || s == kPaused;)
        if (state.compare_exchange_weak(s, kFailed)) break;
    device->Stop();
    {
        std::lock_guard<std::mutex> lock(deliveredLock);
        ++wakeups;
    }
    deliveredChanged.notify_all();
}

std::string CExtMicro::GetThreadPriority() const {
    std::lock_guard<std::mutex> lock(priorityLock);
    return threadPriority;
}

bool CExtMicro::WaitForDelivered(std::uint64_t count, int timeoutMs) {
    std::unique_lock<std::mutex> lock(deliveredLock);
    return deliveredChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                     [&] { return delivered.load() >= count; });
}

std::uint64_t CExtMicro::Wakeups() const {
    std::lock_guard<std::mutex> lock(deliveredLock);
    return wakeups;
}

bool CExtMicro::WaitForWakeups(std::uint64_t count, int timeoutMs) {
    std::unique_lock<std::mutex> lock(deliveredLock);
    return deliveredChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                     [&] { return wakeups >= count; });
}

std::uint32_t CExtMicro::Play() {
    if (!callback) return kNotAvailable;
    switch (state.load()) {
    case kRecording:
        return kDone;
    case kFailed:
        return kNotAvailable;
    case kPaused:
        return Pause();
    default:
        break;
    }
    // A run stopped from its own callback leaves its finished thread (which
    // closed the device) to be joined.
    EndThread();
    captureEvent.ResetEvent();
    if (const std::uint32_t opened = OpenDevice(); opened != kDone) return opened;
    state.exchange(kRecording);
    try {
        captureThread = std::thread([this] { CaptureThread(); });
    } catch (const std::system_error& e) {
        SetDeviceError(std::string("cannot start the capture thread: ") + e.what());
        state.exchange(kFailed);
        return kError;
    }
    threadsStarted.fetch_add(1);
    if (!device->Start()) {
        SetDeviceError(device->Error());
        state.exchange(kFailed);
        EndThread();
        return kError;
    }
    return kDone;
}

std::uint32_t CExtMicro::OpenDevice() {
    SetDeviceError({});
    deviceLost = false;
    auto fail = [this](std::string why) {
        SetDeviceError(std::move(why));
        CloseDevice();
        state.exchange(kFailed);
        return kError;
    };
    if (format.nBlockAlign == 0 || bufferBytes < format.nBlockAlign)
        return fail("a buffer of " + std::to_string(bufferBytes) + " bytes holds no whole frame");
    std::string error;
    device = deviceFactory(&error);
    if (!device) return fail(error.empty() ? "no input device" : error);
    if (!device->Open(format, &CExtMicro::OnBufferDone, this)) return fail(device->Error());
    device->SetFailureEvent(&captureEvent);
    try {
        headers.assign(bufferCount, {});
        bufferStates.clear();
        bufferData.clear();
        for (std::uint32_t i = 0; i < bufferCount; ++i) {
            bufferData.emplace_back(bufferBytes);
            bufferStates.push_back(std::make_unique<BufferState>());
        }
    } catch (const std::bad_alloc&) {
        return fail("no memory for " + std::to_string(bufferCount) + " capture buffers of " +
                    std::to_string(bufferBytes) + " bytes");
    }
    for (std::uint32_t i = 0; i < bufferCount; ++i) {
        platform::audio::CaptureBuffer& h = headers[i];
        h.data = bufferData[i].data();
        h.bytes = bufferBytes;
        h.user = bufferStates[i].get();
        h.index = i;
        bufferStates[i]->status = kQueued;
        if (!device->AddBuffer(&h)) return fail("the input device refused a buffer");
    }
    return kDone;
}

void CExtMicro::CloseDevice() {
    // Buffers the device still holds come back through OnBufferDone, which
    // ignores them once the state is stopped; they are freed only after the
    // device is closed.
    if (device) device->Close();
    device.reset();
    headers.clear();
    bufferStates.clear();
    bufferData.clear();
}

void CExtMicro::OnBufferDone(void* self, platform::audio::CaptureBuffer* buffer) {
    auto* micro = static_cast<CExtMicro*>(self);
    if (micro->state.load() == kStopped) return;
    auto* s = static_cast<BufferState*>(buffer->user);
    s->doneTick.store(TickCount());
    s->doneOrder.store(micro->nextDoneOrder.fetch_add(1));
    s->status.store(kFilled);
    micro->captureEvent.Set();
}

void CExtMicro::CaptureThread() {
    captureThreadId = std::this_thread::get_id();
    {
        std::string got = platform::RaiseCurrentThreadPriority();
        std::lock_guard<std::mutex> lock(priorityLock);
        threadPriority = std::move(got);
    }
    auto ended = [this] {
        const std::uint32_t s = state.load();
        return s == kStopped || s == kFailed;
    };
    const std::size_t count = headers.size();
    for (;;) {
        // An auto-reset event: a buffer that completes while the ones before
        // it are delivered signals it again, so it is never left waiting.
        captureEvent.Wait();
        if (ended()) break;
        if (device->HasFailed()) {
            FailRun();
            break;
        }
        // Oldest first. The completion order, not the millisecond tick (two
        // buffers completed in one step share it, and it wraps) nor the
        // ring index (buffer 0 follows the last one).
        for (;;) {
            std::size_t pick = count;
            for (std::size_t i = 0; i < count; ++i) {
                if (bufferStates[i]->status.load() != kFilled) continue;
                if (pick == count ||
                    bufferStates[i]->doneOrder.load() < bufferStates[pick]->doneOrder.load())
                    pick = i;
            }
            if (pick == count) break;
            callback(callbackUser, headers[pick].data, bufferBytes);
            bufferStates[pick]->status.store(kFree);
            {
                std::lock_guard<std::mutex> lock(deliveredLock);
                delivered.fetch_add(1);
            }
            deliveredChanged.notify_all();
            if (ended()) break; // the callback stopped the recording
        }
        if (ended()) break;
        for (std::size_t i = 0; i < count; ++i) {
            if (bufferStates[i]->status.load() != kFree) continue;
            bufferStates[i]->status.store(kQueued);
            device->AddBuffer(&headers[i]);
        }
        {
            std::lock_guard<std::mutex> lock(deliveredLock);
            ++wakeups;
        }
        deliveredChanged.notify_all();
    }
    if (closeOnThreadEnd.exchange(false)) CloseDevice();
}

std::uint32_t CExtMicro::Stop() {
    const std::uint32_t s = state.load();
    if (s == kFailed) return kNotAvailable;
    if (s == kStopped) return kDone;
    state.exchange(kStopped);
    if (OnCaptureThread()) {
        // From the callback: the buffer being delivered is still in use, so
        // the thread closes the device itself once the callback returns.
        device->Stop();
        closeOnThreadEnd = true;
        return kDone;
    }
    EndThread();
    CloseDevice();
    return kDone;
}

std::uint32_t CExtMicro::Pause() {
    const std::uint32_t s = state.load();
    if (s == kFailed) return kNotAvailable;
    if (s == kStopped) return kDone;
    if (s == kPaused) {
        if (!device->Start()) {
            SetDeviceError(device->Error());
            return kError;
        }
        state.store(kRecording);
    } else {
        if (!device->Stop()) return kError;
        state.store(kPaused);
    }
    return kDone;
}

std::uint32_t CExtMicro::Reset() {
    if (OnCaptureThread()) {
        // From the callback: as a stop; a failed run has no callbacks.
        Stop();
        return kDone;
    }
    state.exchange(kStopped);
    EndThread();
    CloseDevice();
    return kDone;
}

const WAVEFORMATEX* CExtMicro::GetFormat() {
    reportFormat = format;
    reportFormat.cbSize = 0;
    reportFormat.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    return &reportFormat;
}

std::uint32_t CExtMicro::SetFormat(const WAVEFORMATEX* f) {
    const std::uint32_t s = state.load();
    if (s == kFailed) return kNotAvailable;
    if (s == kRecording || s == kPaused) return kWrongState;
    if (!f) return kError;
    const unsigned bits = f->wBitsPerSample;
    if (f->nChannels == 0 || f->nSamplesPerSec == 0 ||
        (bits != 8 && bits != 16 && bits != 24 && bits != 32))
        return kError;
    format.nChannels = f->nChannels;
    format.nSamplesPerSec = f->nSamplesPerSec;
    format.wBitsPerSample = f->wBitsPerSample;
    // Derived here rather than copied: a record whose alignment disagrees
    // with its channels and width would make the device split frames.
    format.nBlockAlign = static_cast<std::uint16_t>(f->nChannels * (bits / 8));
    format.nAvgBytesPerSec = f->nSamplesPerSec * format.nBlockAlign;
    format.cbSize = 0;
    format.wFormatTag = WAVE_FORMAT_PCM;
    return kDone;
}

std::uint32_t CExtMicro::SetBufferCount(std::uint32_t count) {
    const std::uint32_t s = state.load();
    if (s == kFailed) return kNotAvailable;
    if (s == kRecording || s == kPaused) return kWrongState;
    // No buffers would be a recording that never delivers anything.
    if (count == 0 || count > kMaxBufferCount) return kError;
    bufferCount = count;
    return kDone;
}

std::uint32_t CExtMicro::SetBufferSize(std::uint32_t bytes) {
    const std::uint32_t s = state.load();
    if (s == kFailed) return kNotAvailable;
    if (s == kRecording || s == kPaused) return kWrongState;
    bufferBytes = bytes;
    return kDone;
}

std::uint32_t CExtMicro::SetCaptureCallback(CaptureCallback cb, void* user) {
    const std::uint32_t s = state.load();
    if (s == kRecording || s == kPaused) return kWrongState;
    if (cb == callback && user == callbackUser) return kDone;
    if (callback) callback(callbackUser, nullptr, 0);
    callback = cb;
    callbackUser = user;
    return kDone;
}
