// A module that records from the host's recorder into a WAV file as soon as
// it gets the microphone: the whole chain (Record button, ownership message,
// capture device, capture thread, callback) can be exercised in the running
// program, e.g. with SONVARA_AUDIO_INPUT=tone:440 or wav:/path/in.wav. Built
// against the SDK headers and Qt only, like any module from outside the tree.
//
// It asks for the Record button. Record while idle acquires the microphone;
// WM_MICRO_ACQUIRED starts the recording into SONVARA_RECORDER_WAV (default
// recording.wav in the program folder); Record again, or WM_MICRO_LOST, ends
// it and completes the file. SONVARA_RECORDER_BUFFER_BYTES sets the buffer
// size before recording.
#include "sonvara/IApplication.h"
#include "sonvara/IMicro.h"
#include "sonvara/IQueryInterface.h"
#include "sonvara/MenuTree.h"
#include "sonvara/MessageEvent.h"
#include "sonvara/Messages.h"
#include "sonvara/ModuleInfo.h"

#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#define RECORDER_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr const char* kName = "Recorder";

void PutLE(unsigned char* p, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

class RecorderWindow : public QWidget {
public:
    RecorderWindow(QWidget* parent, IQueryInterface* query) : QWidget(parent), m_query(query) {}
    // The host has detached the callback and stopped recording by now.
    ~RecorderWindow() override { CloseFile(); }

protected:
    bool event(QEvent* e) override {
        if (e->type() != sonvara::CWindowMessageEvent::kType) return QWidget::event(e);
        auto* message = static_cast<sonvara::CWindowMessageEvent*>(e);
        IMicro* micro = m_query->GetMicro();
        switch (message->Message()) {
        case sonvara::WM_MICRO_ACQUIRED:
            Start(micro);
            break;
        case sonvara::WM_MICRO_LOST:
            CloseFile(); // the host stopped the recording first
            break;
        case sonvara::WM_COMMAND:
            if (message->WParam() != sonvara::ID_PLAYER_RECORD) break;
            if (m_file) {
                micro->ReleaseMicro(kName);
                CloseFile();
                Status("Recorder: stopped");
            } else {
                micro->AcquireMicro(kName);
            }
            break;
        default:
            break;
        }
        message->SetResult(1);
        return true;
    }

private:
    void Status(const char* text) { m_query->GetApplication()->SetStatusText(text); }

    void Start(IMicro* micro) {
        CloseFile(); // acquired again while recording: the host stopped us
        if (const char* bytes = std::getenv("SONVARA_RECORDER_BUFFER_BYTES"))
            micro->SetBufferSize(static_cast<std::uint32_t>(std::strtoul(bytes, nullptr, 10)));
        const char* path = std::getenv("SONVARA_RECORDER_WAV");
        const std::string file =
            path ? path : std::string(m_query->GetApplication()->GetAppPath()) + "recording.wav";
        m_format = *micro->GetFormat();
        m_file = std::fopen(file.c_str(), "wb");
        if (!m_file) {
            Status("Recorder: cannot write the file");
            return;
        }
        m_dataBytes = 0;
        WriteHeader();
        micro->SetCaptureCallback(&RecorderWindow::Take, this);
        if (!micro->Play()) {
            // The host has put the reason into the status line.
            CloseFile();
            return;
        }
        Status("Recorder: recording");
    }

    // Capture thread: appends what arrived.
    static std::uint32_t Take(void* user, const void* data, std::uint32_t bytes) {
        auto* self = static_cast<RecorderWindow*>(user);
        if (!data || !self->m_file) return 0; // detached
        if (std::fwrite(data, 1, bytes, self->m_file) == bytes) self->m_dataBytes += bytes;
        return 0;
    }

    void WriteHeader() {
        unsigned char h[44];
        const std::uint32_t align = m_format.nBlockAlign;
        std::memcpy(h, "RIFF", 4);
        PutLE(h + 4, 36 + m_dataBytes, 4);
        std::memcpy(h + 8, "WAVEfmt ", 8);
        PutLE(h + 16, 16, 4);
        PutLE(h + 20, WAVE_FORMAT_PCM, 2); // the recorder reports 0xFFFE, records PCM
        PutLE(h + 22, m_format.nChannels, 2);
        PutLE(h + 24, m_format.nSamplesPerSec, 4);
        PutLE(h + 28, m_format.nSamplesPerSec * align, 4);
        PutLE(h + 32, align, 2);
        PutLE(h + 34, m_format.wBitsPerSample, 2);
        std::memcpy(h + 36, "data", 4);
        PutLE(h + 40, m_dataBytes, 4);
        std::fwrite(h, 1, sizeof h, m_file);
    }

    void CloseFile() {
        if (!m_file) return;
        std::fseek(m_file, 0, SEEK_SET);
        WriteHeader();
        std::fclose(m_file);
        m_file = nullptr;
    }

    IQueryInterface* m_query;
    WAVEFORMATEX m_format{};
    std::FILE* m_file = nullptr;
    std::uint32_t m_dataBytes = 0;
};

RecorderWindow* g_window = nullptr;
SvMenuTree g_menu;

} // namespace

RECORDER_EXPORT int KelGetModuleInfo(QWidget*, _MODULE_INFO_* info) {
    if (info->Size != sizeof(_MODULE_INFO_)) return 0;
    info->Name = kName;
    return 1;
}

RECORDER_EXPORT QWidget* KelInitialize(QWidget* clientArea, char*, unsigned,
                                       IQueryInterface* query) {
    if (!query || query->GetVersion() >> 24 != 4) return nullptr;
    g_window = new RecorderWindow(clientArea, query);
    g_window->hide();
    query->GetMicro()->EnableRecordControl(kName, 1);
    return g_window;
}

RECORDER_EXPORT SvMenuTree* KelGetMenu(QWidget*) {
    return &g_menu;
}
RECORDER_EXPORT int KelChangeState(QWidget*, int) {
    return 1;
}
RECORDER_EXPORT int KelLoadSkin(QWidget*, int) {
    return 1;
}
RECORDER_EXPORT int KelPassMessage(QWidget*, const char*, const char*) {
    return 1;
}
