// Presets in the three stores: INI section, registry sub-key, XML node.
#include "PluginLoader.h"
#include "platform/AtomicFile.h"
#include "platform/Profile.h"
#include "platform/Registry.h"
#include "plugin/EffectInstance.h"
#include "plugin/Presets.h"
#include "support/TempDir.h"
#include "xml/XmlNode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

struct Settings {
    int speed, threshold, rate, law, first, second;
};

void Expect(const EffectInstance& e, const Settings& s) {
    EXPECT_EQ(e.Speed, s.speed);
    EXPECT_EQ(e.Threshold, s.threshold);
    EXPECT_EQ(e.Rate, s.rate);
    EXPECT_EQ(e.law, s.law);
    EXPECT_EQ(e.FirstTone, s.first);
    EXPECT_EQ(e.SecondTone, s.second);
}

constexpr Settings kDefaults{3, 10, 3, 0, 4, 8};
constexpr Settings kCustom{45, 60, 17, 2, 12, 0};

EffectInstance Custom() {
    EffectInstance e{};
    e.Speed = kCustom.speed;
    e.Threshold = kCustom.threshold;
    e.Rate = kCustom.rate;
    e.law = kCustom.law;
    e.FirstTone = kCustom.first;
    e.SecondTone = kCustom.second;
    return e;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

TEST(Presets, IniKeysMissingFromTheSectionTakeTheirDefaults) {
    testsupport::TempDir dir;
    const std::string ini = dir.file("presets.ini");
    platform::WritePrivateProfileString("Mine", "Rate", "7", ini.c_str());
    EffectInstance e{};
    stavo::ValueStore store;
    store.iniFile = ini.c_str();
    store.section = "Mine";
    stavo::ReadSettings(store, e);
    Expect(e, {3, 10, 7, 0, 4, 8});

    // No file at all, and no store at all.
    store.iniFile = "/nonexistent/folder/presets.ini";
    stavo::ReadSettings(store, e);
    Expect(e, kDefaults);
    stavo::ReadSettings(stavo::ValueStore{}, e);
    Expect(e, kDefaults);
}

TEST(Presets, IniSectionHoldsTheSixKeysInOrder) {
    testsupport::TempDir dir;
    const std::string ini = dir.file("presets.ini");
    EffectInstance e{};
    stavo::ApplyDefaults(e);
    stavo::ValueStore store;
    store.iniFile = ini.c_str();
    store.section = "Default";
    ASSERT_EQ(stavo::WriteSettings(store, e), 1);
    EXPECT_EQ(ReadFile(ini), "[Default]\r\nSpeed=3\r\nThreshold=10\r\nRate=3\r\nDrums=0\r\n"
                             "FirstTone=4\r\nSecondTone=8\r\n");
}

TEST(Presets, RoundTripThroughEveryStore) {
    testsupport::TempDir dir;
    const EffectInstance source = Custom();

    // INI, including negative values, which are written as signed decimals.
    {
        const std::string ini = dir.file("a.ini");
        EffectInstance negative = source;
        negative.Rate = -4;
        stavo::ValueStore store;
        store.iniFile = ini.c_str();
        store.section = "P";
        ASSERT_EQ(stavo::WriteSettings(store, negative), 1);
        EffectInstance back{};
        stavo::ReadSettings(store, back);
        Expect(back, {45, 60, -4, 2, 12, 0});
    }
    // Registry: a sub-key named by the section, 4 raw bytes of type 0 per key.
    {
        platform::RegSetStoreFile(dir.file("registry.ini"));
        HKEY root = nullptr;
        ASSERT_EQ(platform::RegCreateKey(HKEY_CURRENT_USER, "Software\\Sonvara\\Effects", &root),
                  platform::ERROR_SUCCESS);
        stavo::ValueStore store;
        store.key = root;
        store.section = "Preset 1";
        ASSERT_EQ(stavo::WriteSettings(store, source), 1);
        EffectInstance back{};
        stavo::ReadSettings(store, back);
        Expect(back, kCustom);

        HKEY sub = nullptr;
        ASSERT_EQ(platform::RegOpenKey(root, "Preset 1", &sub), platform::ERROR_SUCCESS);
        platform::DWORD type = 99, size = 4;
        std::int32_t raw = 0;
        ASSERT_EQ(platform::RegQueryValue(sub, "Threshold", &type, &raw, &size),
                  platform::ERROR_SUCCESS);
        EXPECT_EQ(type, 0u);
        EXPECT_EQ(size, 4u);
        EXPECT_EQ(raw, 60);
        platform::RegCloseKey(sub);

        // A sub-key that does not exist leaves every default.
        store.section = "Missing";
        stavo::ReadSettings(store, back);
        Expect(back, kDefaults);
        platform::RegCloseKey(root);
    }
    // XML: one child per key with the attribute Value; other children stay.
    {
        CXmlNode node("Effect");
        node.AddChild("Unrelated")->SetAttribute("Value", "x");
        stavo::ValueStore store;
        store.node = &node;
        ASSERT_EQ(stavo::WriteSettings(store, source), 1);
        std::string text;
        ASSERT_TRUE(node.FindChild("SecondTone") != nullptr);
        EXPECT_TRUE(node.FindChild("Rate")->GetAttribute("Value", text));
        EXPECT_EQ(text, "17");
        EXPECT_TRUE(node.FindChild("Unrelated") != nullptr);
        EffectInstance back{};
        stavo::ReadSettings(store, back);
        Expect(back, kCustom);

        CXmlNode sparse("Effect");
        sparse.AddChild("Drums")->SetAttribute("Value", "5");
        store.node = &sparse;
        stavo::ReadSettings(store, back);
        Expect(back, {3, 10, 3, 5, 4, 8});
    }
}

// Through the loaded library: presets saved by one instance create an equal one.
TEST(Presets, ExportsSaveAndLoadTheSameSettings) {
    const PluginExports& p = Plugin();
    testsupport::TempDir dir;
    const std::string ini = dir.file("fx.ini");
    EffectInstance source = Custom();
    ASSERT_EQ(p.SavePreset(ini.c_str(), "Voice", nullptr, &source), 1);
    EffectInstance* a = nullptr;
    EffectInstance* b = nullptr;
    EffectInstance* const sentinel = &source;
    b = sentinel;
    ASSERT_EQ(p.Initialize(ini.c_str(), "Voice", nullptr, &a), 1);
    ASSERT_EQ(p.LoadPreset(ini.c_str(), "Voice", nullptr, &b), 1);
    ASSERT_NE(b, sentinel); // a new instance; the old one is left alone
    Expect(*a, kCustom);
    Expect(*b, kCustom);
    EXPECT_EQ(a->ratio, 0.0);
    EXPECT_EQ(a->gate, nullptr);

    CXmlNode node("Preset");
    ASSERT_EQ(p.SavePresetXml(&node, a), 1);
    EffectInstance* c = nullptr;
    ASSERT_EQ(p.InitializeXml(&node, &c), 1);
    Expect(*c, kCustom);
    // A null node reads nothing: defaults.
    EffectInstance* d = nullptr;
    ASSERT_EQ(p.InitializeXml(nullptr, &d), 1);
    Expect(*d, kDefaults);
    for (EffectInstance* e : {a, b, c, d})
        p.Free(e);
}

// A save that did not reach the store used to report success, so a host told
// the user the preset was kept. It must say 0 and leave the old preset whole:
// not a mix of old and new keys.
TEST(Presets, FailedSavesReturnZeroAndKeepTheOldPreset) {
    testsupport::TempDir dir;
    const EffectInstance custom = Custom();
    EffectInstance defaults{};
    stavo::ApplyDefaults(defaults);

    // INI: a folder that does not exist, and a write that fails to land.
    {
        stavo::ValueStore store;
        const std::string missing = dir.file("no/such/folder/p.ini");
        store.iniFile = missing.c_str();
        store.section = "P";
        EXPECT_EQ(stavo::WriteSettings(store, custom), 0);

        const std::string ini = dir.file("p.ini");
        store.iniFile = ini.c_str();
        ASSERT_EQ(stavo::WriteSettings(store, defaults), 1);
        const std::string before = ReadFile(ini);
        platform::testing::FailNextRename();
        EXPECT_EQ(stavo::WriteSettings(store, custom), 0);
        EXPECT_EQ(ReadFile(ini), before);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                                std::filesystem::directory_iterator()),
                  1)
            << "the copy of the file was left behind";
        ASSERT_EQ(stavo::WriteSettings(store, custom), 1);
        EffectInstance back{};
        stavo::ReadSettings(store, back);
        Expect(back, kCustom);
    }
    // Registry: the sub-key exists, the store file cannot be replaced.
    {
        platform::RegSetStoreFile(dir.file("registry.ini"));
        stavo::ValueStore store;
        store.key = HKEY_CURRENT_USER;
        store.section = "Software\\Sonvara\\Saved";
        ASSERT_EQ(stavo::WriteSettings(store, defaults), 1);
        platform::testing::FailNextRename();
        EXPECT_EQ(stavo::WriteSettings(store, custom), 0);
        EffectInstance back{};
        stavo::ReadSettings(store, back);
        Expect(back, kDefaults);
        platform::RegSetStoreFile("");
    }
    // Through the exports: nowhere to store is no success either.
    const PluginExports& p = Plugin();
    EffectInstance instance = Custom();
    EXPECT_EQ(p.SavePreset(nullptr, "P", nullptr, &instance), 0);
    EXPECT_EQ(p.SavePresetXml(nullptr, &instance), 0);
    const std::string missing = dir.file("none/fx.ini");
    EXPECT_EQ(p.SavePreset(missing.c_str(), "P", nullptr, &instance), 0);
}
