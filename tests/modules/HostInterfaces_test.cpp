#include "ModulesTestSupport.h"

#include "sonvara/IApplication.h"
#include "sonvara/IModuleCom.h"
#include "sonvara/IQueryInterface.h"
#include "sonvara/ModuleInfo.h"

#include <cstring>
#include <gtest/gtest.h>

TEST(HostInterfaces, QueryInterfaceHandsOutFixedObjects) {
    HostFixture f;
    IQueryInterface* q = f.host->QueryInterface();
    EXPECT_EQ(q->GetVersion(), 0x04000044u);
    EXPECT_EQ(q->GetVersion(), 67108932u);
    EXPECT_EQ(q->GetApplication(), q->GetApplication());
    EXPECT_NE(q->GetPlayer(), nullptr);
    EXPECT_NE(q->GetModuleCom(), nullptr);
    // The recorder: without a capture callback it refuses to start.
    EXPECT_EQ(q->GetMicro(), q->GetMicro());
    EXPECT_EQ(q->GetMicro()->Play(), 0);
    ASSERT_NE(q->GetMicro()->GetFormat(), nullptr);
}

// The skin name crosses as a wide string the module frees; before any skin
// it is empty, never null.
TEST(HostInterfaces, CurrentSkinNameIsAnOwnedWideString) {
    HostFixture f;
    wchar_t* none = f.host->QueryInterface()->GetCurrentSkinName();
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(std::wstring(none), L"");
    SvFreeString(none);
    f.site.skinName = "Nocturne \xC3\xA9t\xC3\xA9 \xF0\x9F\x8E\xB5 \xFF";
    wchar_t* name = f.host->QueryInterface()->GetCurrentSkinName();
    EXPECT_EQ(std::wstring(name), L"Nocturne \u00e9t\u00e9 \U0001F3B5 \uFFFD");
    SvFreeString(name);
}

// ActivateModuleByName is exact about letter case; FindModuleInfo is not.
TEST(HostInterfaces, NameLookupsDifferInLetterCase) {
    HostFixture f;
    f.Load({"alpha", "beta"});
    IApplication* app = f.host->QueryInterface()->GetApplication();
    IModuleCom* com = f.host->QueryInterface()->GetModuleCom();
    EXPECT_EQ(app->GetActiveModuleName(), nullptr);
    EXPECT_EQ(app->ActivateModuleByName("beta"), 0);
    EXPECT_EQ(app->GetActiveModuleName(), nullptr);
    const _MODULE_INFO_* info = com->FindModuleInfo("beta");
    ASSERT_NE(info, nullptr);
    EXPECT_STREQ(info->Name, "Beta");
    EXPECT_EQ(info->Words[0], 7u);
    EXPECT_EQ(com->FindModuleInfo("Nobody"), nullptr);
    EXPECT_EQ(app->ActivateModuleByName("Beta"), 1);
    EXPECT_STREQ(app->GetActiveModuleName(), "Beta");
    EXPECT_EQ(com->SendModuleMessage("alpha", "beta", "m"), MESSAGE_OK);
}

// A module's parameters live in its own section; unknown owners touch
// nothing, not even the caller's buffer.
TEST(HostInterfaces, ParametersOfModulesAndOwners) {
    HostFixture f;
    f.Load({"alpha"});
    IApplication* app = f.host->QueryInterface()->GetApplication();
    char buffer[16];
    std::strcpy(buffer, "untouched");
    EXPECT_EQ(app->GetParam("Stranger", "Key", buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_EQ(app->SetParam("Stranger", "Key", "v"), 0);
    EXPECT_EQ(app->SetParam("Alpha", "Key", "value"), 1);
    EXPECT_EQ(app->SetParam("Alpha", "Other", "2"), 1);
    EXPECT_EQ(app->GetParam("Alpha", "Key", buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "value");
    // The section header is matched as text, so the owner's spelling must
    // be the one the section was written with.
    EXPECT_EQ(app->DeleteParam("ALPHA", "Key"), 0);
    EXPECT_EQ(app->DeleteParam("Alpha", "Key"), 1);
    EXPECT_EQ(app->GetParam("Alpha", "Key", buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(app->GetParam("Alpha", "Other", buffer, sizeof buffer), 1);
    EXPECT_EQ(app->DeleteParam("Main frame", "Key"), 0); // no such section
    EXPECT_EQ(app->DeleteParam("Stranger", "Key"), 0);
}

TEST(HostInterfaces, ApplicationServices) {
    HostFixture f;
    f.Load({"alpha"});
    IApplication* app = f.host->QueryInterface()->GetApplication();
    EXPECT_EQ(app->ShowHelp(), 1);
    EXPECT_EQ(f.site.opened, std::string(app->GetAppPath()) + "Help/index.html");
    EXPECT_EQ(app->GetAppPath()[std::strlen(app->GetAppPath()) - 1], '/');
    EXPECT_EQ(app->Reserved(1, 2, 3), 1);
    app->SetStatusText("Ready");
    EXPECT_EQ(f.site.status, "Ready");
    app->ShowStatusMessage(nullptr, 100);
    EXPECT_EQ(f.site.statusMessage, "");
    app->ShowStatusMessage("Saved", 1500);
    EXPECT_EQ(f.site.statusMessage, "Saved/1500");
    const auto* files = app->SelectLibraryFiles();
    ASSERT_NE(files, nullptr);
    EXPECT_TRUE(files->empty());
    ClearJournal();
    EXPECT_EQ(app->RefreshModuleMenu("ALPHA"), 1);
    EXPECT_EQ(app->RefreshModuleMenu("Nobody"), 0);
    EXPECT_THAT(Journal(), ::testing::ElementsAre("alpha: menu"));
}
