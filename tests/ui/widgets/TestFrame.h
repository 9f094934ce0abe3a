// A stand-in main frame for the widget tests: owns panels, controls and the
// skin manager as CMainFrame does, and records what reaches the frame.
#pragma once

#include <QApplication>
#include <QPainter>
#include <QWidget>
#include <string>
#include <vector>

#include "libs/lacquer/Lacquer.h"
#include "libs/veneer/Colors.h"
#include "shell/Settings.h"
#include "support/TempDir.h"
#include "ui/AutoPanel.h"
#include "ui/FrameControls.h"
#include "ui/FrameSite.h"
#include "ui/SkinManager.h"

class CTestFrame : public QWidget, public ui::IFrameSite {
public:
    CTestFrame()
        : settings(dir.file("config.ini")), controls(this, &panels),
          skins(this, &controls, &settings) {
        setWindowFlags(Qt::FramelessWindowHint);
        panels.Create(this, this);
        resize(760, 420);
    }
    ~CTestFrame() override { controls.DestroyAll(); }

    QWidget* FrameWidget() override { return this; }
    void OnFrameCommand(int id) override { commands.push_back(id); }
    void RecalcLayout() override { moduleArea = panels.Layout(rect()); }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void FatalSkinError(const std::string& message, int exitCode) override {
        fatal = message;
        fatalCode = exitCode;
    }
    void BroadcastSkinChanged() override { ++skinChanged; }
    void SkinSurroundView(QWidget* view) override { surroundViews.push_back(view); }
    void OnPlayerSlider(int id, int code, int position) override {
        playerSliders.push_back({id, code, position});
    }
    void ApplyEqualizer(int band, int code, int position) override {
        equalizer.push_back({band, code, position});
    }

    // The frame's texts for the controls (the shell's string table).
    void LoadTexts() {
        controls.LoadTexts([](int id) -> std::string {
            static const char* const texts[] = {"Previous Track",
                                                "Backward",
                                                "Play",
                                                "Pause",
                                                "Stop",
                                                "Forward",
                                                "Next Track",
                                                "Record",
                                                "Shuffle",
                                                "Repeat",
                                                "",
                                                "Show/Hide Player",
                                                "",
                                                "",
                                                "Visit us",
                                                "Position",
                                                "Volume",
                                                "Balance",
                                                "Equalizer",
                                                "Show Zuzuvezizu",
                                                "Zuzuvezizu View",
                                                "Equalizer On/Off",
                                                "Equalizer Presets",
                                                "Status bar",
                                                "TV screen",
                                                "Minimize",
                                                "Maximize",
                                                "Close"};
            const int i = id - 275;
            return i >= 0 && i < 28 ? texts[i] : "";
        });
    }

    struct SMove {
        int id, code, position;
    };

    testsupport::TempDir dir;
    shell::CSettings settings;
    ui::CFramePanels panels;
    ui::CFrameControls controls;
    ui::CSkinManager skins;
    QRect moduleArea;
    std::vector<int> commands;
    std::vector<std::string> messages;
    std::string fatal;
    int fatalCode = 0;
    int skinChanged = 0;
    std::vector<QWidget*> surroundViews;
    std::vector<SMove> playerSliders;
    std::vector<SMove> equalizer;

protected:
    void resizeEvent(QResizeEvent*) override { moduleArea = panels.Layout(rect()); }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(moduleArea, veneer::SkinColor(lacquer::kColorWindow));
    }
};
