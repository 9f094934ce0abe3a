// The effect manager over a real Effects folder: the shipped plug-in is
// found and typed, broken files are skipped, and effects made from the table
// process audio.
#include "libs/prism/Prism.h"
#include "support/TempDir.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

extern "C" int KelEffectPresetXml(CSimpleEffect* effect, const char* path, int save);

namespace {

namespace fs = std::filesystem;

std::uint32_t Sine(void* user, StreamBuffer* buffer) {
    auto* phase = static_cast<double*>(user);
    for (std::uint32_t i = 0; i < buffer->frames; ++i, *phase += 0.0628)
        for (float* channel : buffer->channels)
            channel[i] = static_cast<float>(0.5 * std::sin(*phase));
    buffer->valid = buffer->frames;
    return buffer->frames;
}

// A file that is no library, and one folder read twice, must neither stop
// the scan nor list anything twice.
TEST(Prism, FindsThePluginAsVoiceMorphingAndSkipsWhatIsNoPlugin) {
    testsupport::TempDir dir;
    const std::string effects = dir.file("Effects");
    fs::create_directories(effects);
    fs::copy_file(STAVO_PLUGIN_PATH, effects + "/StavoModulation.so");
    std::ofstream(effects + "/Broken.so") << "not a library";
    std::ofstream(effects + "/readme.txt") << "ignored";

    CPrism prism;
    const std::uint32_t own = prism.AddEffect(kEffectTypeSpecial, "Silence", "us",
                                              [](const CEffectInfo&) { return nullptr; });
    EXPECT_EQ(prism.Initialize(effects), 1);
    EXPECT_EQ(prism.Initialize(effects), 0);
    const CEffectInfoTable& table = prism.GetEffectTable();
    ASSERT_EQ(table.GetSize(), 2u);
    EXPECT_EQ(table[0].GetID(), own);
    EXPECT_EQ(table[0].CreateEffect(), nullptr);
    const CEffectInfo& stavo = table[1];
    EXPECT_EQ(stavo.GetEffectType(), kEffectTypeVoiceMorphing);
    EXPECT_EQ(stavo.GetName(), "Stavo Modulation");

    SvEffectDescription d;
    IEffectManager& manager = prism;
    ASSERT_EQ(manager.GetEffectCount(), 2);
    ASSERT_TRUE(manager.GetEffectDescription(1, &d));
    EXPECT_EQ(d.identifier, stavo.GetID());
    EXPECT_FALSE(manager.GetEffectDescription(2, &d));
    EXPECT_EQ(manager.CreateEffect(999), nullptr);

    // An effect from the table runs a stream, even after the table let its
    // plug-in go (another folder).
    std::unique_ptr<CSimpleEffect> effect(manager.CreateEffect(stavo.GetID()));
    ASSERT_TRUE(effect);
    EXPECT_STREQ(effect->GetDisplayName(), "Stavo Modulation");
    std::vector<std::string> strings;
    EXPECT_TRUE(effect->GetStringList(&strings));
    EXPECT_EQ(strings.size(), 1u);
    prism.Initialize(dir.file("Nowhere"));
    EXPECT_EQ(prism.GetEffectTable().GetSize(), 1u);

    double phase = 0;
    ASSERT_TRUE(effect->SetStreamCallBack(Sine, &phase));
    WAVEFORMATEX format{};
    format.wFormatTag = 3;
    format.nChannels = 1;
    format.nSamplesPerSec = 44100;
    format.wBitsPerSample = 32;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = 44100 * 4;
    ASSERT_EQ(effect->OpenStream(&format), 0);
    std::vector<float> samples(2048);
    StreamBuffer buffer;
    buffer.channels = {samples.data()};
    buffer.frames = 2048;
    EXPECT_EQ(effect->ProcessStream(&buffer), 2048u);
    EXPECT_EQ(effect->CloseStream(), 1);
}

// Loading a preset into an effect must take the preset's settings: a load
// that reported failure (or dropped the new instance) would leave the user's
// preset unused while a save went on working.
TEST(Prism, AnEffectLoadsThePresetItSaved) {
    testsupport::TempDir dir;
    const std::string effects = dir.file("Effects");
    fs::create_directories(effects);
    fs::copy_file(STAVO_PLUGIN_PATH, effects + "/StavoModulation.so");
    CPrism prism;
    ASSERT_EQ(prism.Initialize(effects), 1);
    const std::uint32_t id = prism.GetEffectTable()[0].GetID();
    const std::string ini = dir.file("presets.ini");
    std::ofstream(ini) << "[Voice]\r\nRate=20\r\nDrums=1\r\n";

    std::unique_ptr<CSimpleEffect> effect(prism.CreateEffect(id));
    ASSERT_TRUE(effect);
    ASSERT_EQ(effect->LoadPreset(ini.c_str(), "Voice"), 1);
    ASSERT_EQ(effect->SavePreset(ini.c_str(), "Copy"), 1);
    std::unique_ptr<CSimpleEffect> other(prism.CreateEffect(id));
    ASSERT_EQ(other->LoadPreset(ini.c_str(), "Copy"), 1);
    ASSERT_EQ(other->SavePreset(ini.c_str(), "Again"), 1);
    std::ifstream in(ini);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t again = text.find("[Again]");
    ASSERT_NE(again, std::string::npos) << text;
    EXPECT_NE(text.find("Rate=20", again), std::string::npos) << text;
    EXPECT_NE(text.find("Drums=1", again), std::string::npos) << text;

    // The same through the program's XML preset files; a file that is no
    // XML, or XML that is no preset, is refused and the settings stay.
    const std::string xml = dir.file("preset.xml");
    ASSERT_EQ(KelEffectPresetXml(effect.get(), xml.c_str(), 1), 1);
    std::unique_ptr<CSimpleEffect> third(prism.CreateEffect(id));
    ASSERT_EQ(KelEffectPresetXml(third.get(), xml.c_str(), 0), 1);
    std::ofstream(dir.file("junk.xml")) << "<Preset";
    EXPECT_EQ(KelEffectPresetXml(third.get(), dir.file("junk.xml").c_str(), 0), 0);
    std::ofstream(dir.file("skin.xml")) << "<Skin><Rate Value=\"1\"/></Skin>";
    EXPECT_EQ(KelEffectPresetXml(third.get(), dir.file("skin.xml").c_str(), 0), 0);
    ASSERT_EQ(third->SavePreset(ini.c_str(), "FromXml"), 1);
    std::ifstream again2(ini);
    const std::string text2((std::istreambuf_iterator<char>(again2)),
                            std::istreambuf_iterator<char>());
    const std::size_t fromXml = text2.find("[FromXml]");
    ASSERT_NE(fromXml, std::string::npos);
    EXPECT_NE(text2.find("Rate=20", fromXml), std::string::npos) << text2;
    EXPECT_EQ(KelEffectPresetXml(nullptr, xml.c_str(), 1), 0);
}

} // namespace
