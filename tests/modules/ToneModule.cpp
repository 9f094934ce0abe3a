// A module that plays a 440 Hz tone as soon as it gets the player: the whole
// chain (toolbar or Play button, ownership message, stream callback,
// equalizer, output device) can be heard in the running program, e.g. with
// SONVARA_AUDIO_OUTPUT=wav:/tmp/tone.wav. Built against the SDK headers and
// Qt only, like any module from outside the tree.
//
// Its window answers WM_PLAYER_ACQUIRED by setting its stream callback and
// playing; Play restarts the tone, Stop stops it. The tone lasts two seconds
// (SONVARA_TONE_MS overrides) at a quarter of full scale.
#include "sonvara/IApplication.h"
#include "sonvara/IPlayer.h"
#include "sonvara/IQueryInterface.h"
#include "sonvara/MenuTree.h"
#include "sonvara/MessageEvent.h"
#include "sonvara/Messages.h"
#include "sonvara/ModuleInfo.h"

#include <QWidget>
#include <cmath>
#include <cstdlib>
#include <numbers>

#define TONE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr const char* kName = "Tone";

class ToneWindow : public QWidget {
public:
    ToneWindow(QWidget* parent, IQueryInterface* query) : QWidget(parent), m_query(query) {
        if (const char* ms = std::getenv("SONVARA_TONE_MS"))
            m_durationMs = std::strtoul(ms, nullptr, 10);
    }

protected:
    bool event(QEvent* e) override {
        if (e->type() != sonvara::CWindowMessageEvent::kType) return QWidget::event(e);
        auto* message = static_cast<sonvara::CWindowMessageEvent*>(e);
        IPlayer* player = m_query->GetPlayer();
        switch (message->Message()) {
        case sonvara::WM_PLAYER_ACQUIRED:
            Start(player);
            break;
        case sonvara::WM_PLAYER_LOST:
            m_owner = false;
            break;
        case sonvara::WM_COMMAND:
            if (message->WParam() == sonvara::ID_PLAYER_PLAY && player->GetState() == 2)
                Start(player);
            else if (message->WParam() == sonvara::ID_PLAYER_STOP)
                player->Stop();
            else if (message->WParam() == sonvara::ID_PLAYER_PAUSE)
                player->Pause();
            break;
        default:
            break;
        }
        message->SetResult(1);
        return true;
    }

private:
    void Start(IPlayer* player) {
        m_owner = true;
        const WAVEFORMATEXTENSIBLE* format = player->GetFormat();
        m_rate = format->Format.nSamplesPerSec;
        m_total = static_cast<std::uint64_t>(m_rate) * m_durationMs / 1000;
        m_next = 0;
        player->SetStreamCallback(&ToneWindow::Pull, this);
        player->Play();
        m_query->GetApplication()->SetStatusText("Tone: 440 Hz");
    }

    // Output thread: fills what is asked, nothing more; no allocation.
    static std::uint32_t Pull(void* user, StreamBuffer* block, std::uint32_t) {
        auto* self = static_cast<ToneWindow*>(user);
        if (block->channels.empty()) return 0; // end of stream or detached
        const std::uint64_t left = self->m_total - self->m_next;
        const std::uint32_t n =
            left < block->frames ? static_cast<std::uint32_t>(left) : block->frames;
        for (std::uint32_t i = 0; i < n; ++i) {
            const double t = static_cast<double>(self->m_next + i) / self->m_rate;
            const float x = static_cast<float>(0.25 * std::sin(2 * std::numbers::pi * 440.0 * t));
            for (float* channel : block->channels)
                channel[i] = x;
        }
        self->m_next += n;
        block->valid = n;
        return n;
    }

    IQueryInterface* m_query;
    bool m_owner = false;
    unsigned long m_durationMs = 2000;
    std::uint32_t m_rate = 44100;
    std::uint64_t m_total = 0;
    std::uint64_t m_next = 0;
};

ToneWindow* g_window = nullptr;
SvMenuTree g_menu;

} // namespace

TONE_EXPORT int KelGetModuleInfo(QWidget*, _MODULE_INFO_* info) {
    if (info->Size != sizeof(_MODULE_INFO_)) return 0;
    info->Name = kName;
    return 1;
}

TONE_EXPORT QWidget* KelInitialize(QWidget* clientArea, char*, unsigned, IQueryInterface* query) {
    if (!query || query->GetVersion() >> 24 != 4) return nullptr;
    g_window = new ToneWindow(clientArea, query);
    g_window->hide();
    query->GetPlayer()->EnablePlayerControls(kName, 1);
    return g_window;
}

TONE_EXPORT SvMenuTree* KelGetMenu(QWidget*) {
    return &g_menu;
}
TONE_EXPORT int KelChangeState(QWidget*, int) {
    return 1;
}
TONE_EXPORT int KelLoadSkin(QWidget*, int) {
    return 1;
}
TONE_EXPORT int KelPassMessage(QWidget*, const char*, const char*) {
    return 1;
}
