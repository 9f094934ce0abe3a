// Tells the shown module when sound devices come or go (a USB headset is
// plugged in, a card disappears), as the device-change message the module
// window already knows. The list is read every few seconds on the window
// thread; the read is one small text file of the kernel, so the poll costs
// nothing and never touches the sound system a stream may be using.
//
// Window thread only.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <string>

namespace shell {

// WM_DEVICECHANGE with DBT_DEVNODES_CHANGED: "the set of devices changed".
inline constexpr unsigned WM_DEVICECHANGE = 0x0219;
inline constexpr unsigned DBT_DEVNODES_CHANGED = 0x0007;

class CDeviceWatch : public QObject {
public:
    // Describes the devices present; equal texts mean an unchanged list.
    using ListSource = std::function<std::string()>;
    // Called when the list changed since the last look.
    using OnChange = std::function<void()>;

    CDeviceWatch(QObject* parent, OnChange onChange, ListSource source = DefaultSource());
    void Start(int periodMs = 3000);
    // One look now (the timer calls this).
    void Poll();

    // The kernel's list of playback and capture devices (empty where the
    // system has none to read).
    static ListSource DefaultSource();

private:
    OnChange m_onChange;
    ListSource m_source;
    std::string m_last;
    QTimer m_timer;
};

} // namespace shell
