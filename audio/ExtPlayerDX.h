// The player the host creates: CExtPlayer playing through the looping
// output device (platform/audio).
//
// The device buffer is divided into segments with a notification at the
// last byte of each. A notification thread, one per playback run, waits for
// them and refills the part of the buffer the play cursor has left: it pulls
// blocks from the stream callback, runs the block chain and converts the
// result to PCM straight into the locked buffer memory. When the source runs
// dry the thread remembers the segment it was refilling (the end-of-stream
// mark); when that segment is notified again, one buffer cycle later and so
// after everything delivered has been played, the player stops with reason
// 2 and the source gets its end-of-stream call.
//
// Threads: Play, Stop, Pause, Reset and the setters run on the window
// thread; Fill, Render, the callback and the block chain on the
// notification thread. Stop on request waits for the thread to end, so no
// refill runs once the device is released; so does destruction. A Stop made
// by the stream callback itself, inside a refill, takes effect as soon as
// that refill is over.
//
// Real time: every refill after the first (which Play makes) is a
// RealTimeSection. It allocates nothing and only tries locks: a source lock
// held elsewhere leaves the rest of that refill silent, a processing lock
// held elsewhere plays that one block as silence.
//
// A device that stops working while it plays (DeviceFailure.h) wakes the
// thread through deviceFailedEvent: the run fails (state failed, reason 3),
// GetDeviceError says why and DeviceLost is true; the thread ends, and the
// next Reset and Play start over with a new device.
#pragma once

#include "audio/ExtPlayer.h"
#include "platform/Event.h"
#include "platform/audio/OutputDevice.h"

#include <functional>
#include <memory>
#include <string>
#include <thread>

class CExtPlayerDX : public CExtPlayer {
public:
    // Makes the output device for one playback run, or null with a reason.
    using DeviceFactory =
        std::function<std::unique_ptr<platform::audio::OutputDevice>(std::string* error)>;

    // Without a factory the device is the configured one (DeviceSelection.h).
    explicit CExtPlayerDX(DeviceFactory factory = {});
    // For tests of the whole program: players made without a factory use
    // this one instead of the configured device, from their next run on
    // (an empty factory: the configured device again).
    static void OverrideConfiguredDevice(DeviceFactory factory);
    // Stops a running playback (waiting for its thread) before going away.
    ~CExtPlayerDX() override;

    std::uint32_t Play() override;
    std::uint32_t Stop(std::uint32_t reason) override;
    // Ends the refills, fades what the buffer holds after the play cursor to
    // silence (5 ms, after a 10 ms margin for what the device may already be
    // reading), lets the device play through the fade and then stops; the
    // next run fades in over the same length. A surround or format change
    // restarts playback this way, since the device cannot change its layout
    // under a running buffer. While paused, or from the output thread, it is
    // a plain Stop.
    std::uint32_t StopSmoothly() override;
    std::uint32_t Pause() override;
    std::uint32_t Reset() override;
    std::uint32_t SetVolume(std::uint32_t volume) override;
    std::uint32_t SetBalance(std::uint32_t balance) override;
    std::uint32_t OpenDevice() override;
    std::uint32_t CloseDevice() override;

    float GetGainL() const { return gainL.load(); }
    float GetGainR() const { return gainR.load(); }
    // The device buffer of the current run, in bytes (0 when closed).
    std::uint32_t GetDeviceBufferBytes() const { return bufferBytes; }
    // Why the last device open failed, or why the device was lost while it
    // played, for the status line.
    std::string GetDeviceError() const;
    // Whether the last run failed because its device stopped working (as
    // opposed to not opening at all).
    bool DeviceLost() const { return deviceLost.load(); }

    // For tests driving a manual-clock device: waits until the notification
    // thread has handled count notifications since the run started (each
    // segment notification, and the final one that stops at the mark).
    // False when timeoutMs passes first.
    bool WaitForNotificationsHandled(std::uint64_t count, int timeoutMs = 10000);
    std::uint64_t NotificationsHandled() const;

protected:
    // Refills the free part of the device buffer: 0, or 2 when the source ran
    // dry (or had already run dry).
    std::uint32_t Fill();
    // Produces up to size bytes of PCM at dst; returns the bytes written.
    std::uint32_t Render(std::uint8_t* dst, std::uint32_t size);

private:
    // The fade of StopSmoothly; thread ended, device lock held.
    void FadeOutAndPlayOn();
    // The rise at the start of a run after StopSmoothly, on the float block.
    void FadeInBlock();
    // The body of Fill, with the refilling thread recorded around it.
    std::uint32_t Refill();

    struct Segment {
        std::uint32_t offset = 0;
        std::unique_ptr<platform::Event> event;
    };

    void NotificationThread();
    // Signals the thread to end and joins it, unless called from it.
    void EndThread();
    bool OnNotificationThread() const;
    void CountNotification();
    // Closes and drops the device and the segment events; device lock held.
    void ReleaseDevice();
    // The notification thread's answer to a device that stopped working.
    void FailRun();
    void SetDeviceError(std::string error);

    std::atomic<float> gainL{1.0f};
    std::atomic<float> gainR{1.0f};
    std::uint32_t bufferBytes = 0;
    std::unique_ptr<platform::audio::OutputDevice> device;
    DeviceFactory deviceFactory;
    platform::Event stopEvent{platform::Event::Reset::Manual};
    platform::Event doneEvent{platform::Event::Reset::Manual};
    platform::Event deviceFailedEvent{platform::Event::Reset::Manual};
    std::atomic<bool> deviceLost{false};
    std::uint32_t readFrame = 0;
    std::uint32_t writeOffset = 0;
    // The play cursor as the last Fill read it; kNoCursor before the first.
    static constexpr std::uint32_t kNoCursor = 0xFFFFFFFF;
    std::uint32_t lastFillCursor = kNoCursor;
    std::vector<Segment> notifications;

    // The output layout of the current run, fixed when the device opens:
    // with surround, outChannels 16-bit channels from the processor.
    bool runSurround = false;
    std::uint16_t outChannels = 0;
    std::uint32_t outFrameBytes = 0;
    WAVEFORMATEX renderFormat{};
    std::uint8_t silenceByte = 0;
    // Set by StopSmoothly for the next run; the frames of its fade-in so far.
    bool fadeInNextRun = false;
    std::uint32_t fadeInDone = 0;
    std::uint32_t fadeInFrames = 0;

    std::thread thread;
    // Set by the thread itself, so it can tell its own end-of-stream Stop
    // apart from the window thread's even before `thread` is assigned.
    std::atomic<std::thread::id> notificationThreadId{};
    // The thread inside Fill, so that a Stop from the stream callback during
    // a refill is recognised and put off (deferredStop, its reason) until the
    // refill has let go of the device buffer.
    std::atomic<std::thread::id> refillingThread{};
    std::atomic<std::uint32_t> deferredStop{0};
    // Serialises the transport operations of the window thread with the
    // thread's own end-of-stream stop. Never held while waiting for the
    // thread, so the thread can always take it.
    std::recursive_mutex transportLock;
    // Counted by the notification thread without a lock; the event wakes
    // WaitForNotificationsHandled.
    std::atomic<std::uint64_t> handled{0};
    platform::Event handledEvent{platform::Event::Reset::Auto};
    // Set by Render when the source lock was busy (the refill is then not a
    // sign that the source ran dry), and when the processing lock was (the
    // block then plays as silence). Notification thread only.
    bool sourceBusy = false;
    bool blockSilent = false;
    // Written by the notification thread too (FailRun), read by the window.
    mutable std::mutex errorLock;
    std::string deviceError;
};
