#include "ModulesTestSupport.h"

#include "modules/ShellBridge.h"

#include "sonvara/Messages.h"

#include <fstream>
#include <gtest/gtest.h>

using ::testing::ElementsAre;

// Every refusal must leave no table entry and log exactly its own line; a
// module whose KelInitialize fails has already run (and may have used the
// bus), so its entry must be gone before the next file loads.
TEST(ModuleLoading, FailuresAreLoggedSkippedAndLeaveNoEntry) {
    HostFixture f;
    f.folder = std::make_unique<ProbeFolder>(
        std::vector<std::string>{"noinit", "noinfo", "emptyname", "initnull", "beta"});
    const std::string junk = f.folder->Path() + "/99_junk.so";
    std::ofstream(junk) << "not a library";
    f.host->LoadModules(f.folder->Path());

    const auto& p = [&](int i) { return f.folder->LinkPath(i); };
    EXPECT_THAT(
        f.log,
        ElementsAre(
            "Starting load modules...", "Loaded library " + p(0) + " successfully.",
            "Failed to attach library " + p(0) + ".", "Loaded library " + p(1) + " successfully.",
            "Failed to attach library " + p(1) + ".", "Loaded library " + p(2) + " successfully.",
            "Failed to attach library " + p(2) + ".", "Loaded library " + p(3) + " successfully.",
            "Failed to attach module InitNull.", "Loaded library " + p(4) + " successfully.",
            "Attached module Beta successfully.", "Failed to load library " + junk + ".",
            "Finished load modules..."));
    ASSERT_EQ(f.host->Count(), 1u);
    const auto& beta = f.host->Entry(0);
    EXPECT_EQ(beta.Name, "Beta");
    EXPECT_EQ(beta.StateFileName, "04_beta.mvm");
    EXPECT_EQ(beta.ButtonIndex, 0xFFFFu);
    EXPECT_EQ(beta.Active, 0u);
    EXPECT_NE(beta.Window, nullptr);
    // The failing module was in the table while it initialised: its message
    // to itself reached it.
    EXPECT_THAT(Journal(), ::testing::Contains("initnull: sent hello 0"));
    EXPECT_THAT(Journal(), ::testing::Contains("beta: info size=32 null"));
    EXPECT_THAT(Journal(), ::testing::Contains("beta: init 260 buffer"));
}

TEST(ModuleLoading, MissingFolderGivesAnEmptyTable) {
    HostFixture f;
    f.host->LoadModules("/nonexistent/Modules");
    EXPECT_EQ(f.host->Count(), 0u);
    EXPECT_THAT(f.log, ElementsAre("Starting load modules...", "Finished load modules..."));
    f.host->ActivateModule(0); // only rebuilds the menu
    EXPECT_TRUE(f.site.title.empty());
    EXPECT_THAT(f.site.calls, ElementsAre("menu", "controls"));
}

// Both libraries of one display name load; look-ups by name find the first.
TEST(ModuleLoading, DuplicateDisplayNamesBothLoad) {
    HostFixture f;
    f.Load({"alpha", "alpha_dup"});
    ASSERT_EQ(f.host->Count(), 2u);
    EXPECT_EQ(f.host->FindModule("ALPHA"), &f.host->Entry(0));
    EXPECT_EQ(f.host->FindModuleExact("Alpha"), 0);
}

// The new module must hear of its activation before the old one hears of
// its deactivation; re-activating the active module never sends it a 0.
TEST(ModuleActivation, NewModuleFirstThenOldOne) {
    HostFixture f;
    f.Load({"alpha", "beta"});
    f.host->ActivateModule(0);
    EXPECT_EQ(f.site.title, "Sonvara : Alpha");
    ClearJournal();
    f.host->ActivateModule(1);
    EXPECT_THAT(Journal(), ElementsAre("beta: skin", "beta: state 1", "alpha: state 0"));
    EXPECT_EQ(f.site.title, "Sonvara : Beta");
    EXPECT_TRUE(f.site.shown[f.host->Entry(1).Window]);
    EXPECT_FALSE(f.site.shown[f.host->Entry(0).Window]);
    EXPECT_EQ(f.host->GetActiveModule(), &f.host->Entry(1));

    ClearJournal();
    f.host->ActivateModule(1);
    EXPECT_THAT(Journal(), ElementsAre("beta: skin", "beta: state 1"));

    ClearJournal();
    f.host->ActivateModule(7); // outside the table: deactivates only
    EXPECT_THAT(Journal(), ElementsAre("beta: state 0"));
    EXPECT_EQ(f.host->GetActiveModule(), nullptr);
}

// The active module's keys must come first so that they win over the host's.
TEST(ModuleActivation, AcceleratorsMergeModuleFirst) {
    HostFixture f;
    f.Load({"alpha", "beta"});
    f.host->SetHostAccelerators({{{"Ctrl+O", 57601}, {"F1", 57670}}});
    f.host->ActivateModule(0);
    ASSERT_EQ(f.site.accelerators.entries.size(), 3u);
    EXPECT_EQ(f.site.accelerators.entries[0].command, 5000u);
    EXPECT_EQ(f.site.accelerators.entries[1].command, 57601u);
    f.host->ActivateModule(1); // Beta has no table: the host's alone
    ASSERT_EQ(f.site.accelerators.entries.size(), 2u);
    EXPECT_EQ(f.site.accelerators.entries[0].command, 57601u);
}

TEST(ModuleActivation, CommandsIdleAndGoToRange) {
    HostFixture f;
    f.Load({"alpha", "beta"});
    EXPECT_FALSE(f.host->RouteCommand(5000)); // nothing active
    f.host->ActivateModule(0);
    ClearJournal();
    EXPECT_TRUE(f.host->RouteCommand(5000));
    EXPECT_FALSE(f.host->RouteCommand(5001));
    f.host->OnIdle();
    EXPECT_THAT(Journal(), ElementsAre("alpha: command 5000", "alpha: idle"));

    EXPECT_TRUE(f.host->OnModuleCommand(sonvara::ID_MODULE_FIRST + 1));
    EXPECT_EQ(f.host->GetActiveModule(), &f.host->Entry(1));
    EXPECT_FALSE(f.host->OnModuleCommand(sonvara::ID_MODULE_LAST + 1));
    const SvMenuTree goTo = f.host->GoToMenu();
    ASSERT_EQ(goTo.items.size(), 2u);
    EXPECT_EQ(goTo.items[1].text, "Beta");
    EXPECT_EQ(goTo.items[1].id, sonvara::ID_MODULE_FIRST + 1);
}

// Only the module named exactly "Quillon" may veto the close; release takes
// each window down before its module leaves the table.
TEST(ModuleClose, QuillonVetoesAndReleaseEmptiesTheTable) {
    HostFixture f;
    f.Load({"beta", "quillon"});
    EXPECT_FALSE(f.host->AllowClose());
    EXPECT_THAT(Journal(), ::testing::Contains("quillon: try close"));
    QWidget* first = f.host->Entry(0).Window;
    QWidget* second = f.host->Entry(1).Window;
    // A window saving its settings as it goes still finds its module (the
    // settings refuse owners that are not loaded).
    std::vector<std::size_t> loadedAtDestroy;
    f.site.onDestroy = [&](QWidget*) { loadedAtDestroy.push_back(f.host->Count()); };
    f.host->ReleaseModules();
    EXPECT_EQ(f.host->Count(), 0u);
    EXPECT_THAT(f.site.destroyed, ElementsAre(first, second));
    EXPECT_THAT(loadedAtDestroy, ElementsAre(2u, 1u));

    HostFixture g;
    g.Load({"beta"});
    EXPECT_TRUE(g.host->AllowClose());
}

// The skin's order must be stable: unnamed modules keep their relative order
// behind the named ones, and a skin name without a module gets no module.
TEST(ModuleToolbar, SkinOrderSortsTheTableStably) {
    HostFixture f;
    f.Load({"alpha", "beta", "gamma_nopass", "echo"});
    const auto ids = f.host->ApplySkinOrder({"gamma", "Nobody", "ALPHA"});
    EXPECT_THAT(ids, ElementsAre(236, -1, 237));
    EXPECT_THAT(f.host->DisplayNames(), ElementsAre("Gamma", "Alpha", "Beta", "Echo"));
    EXPECT_EQ(f.host->Entry(0).ButtonIndex, 0u);
    EXPECT_EQ(f.host->Entry(1).ButtonIndex, 2u);
    EXPECT_EQ(f.host->Entry(2).ButtonIndex, 0xFFFFu);
    // The button of the active module is pressed, the others released.
    auto* gammaButton = reinterpret_cast<QWidget*>(0x10);
    auto* alphaButton = reinterpret_cast<QWidget*>(0x20);
    f.host->SetModuleButton(0, gammaButton);
    f.host->SetModuleButton(1, alphaButton);
    f.host->ActivateModule(0);
    EXPECT_TRUE(f.site.checked[gammaButton]);
    EXPECT_EQ(f.site.checked.count(alphaButton), 0u);
    f.host->ActivateModule(1);
    EXPECT_FALSE(f.site.checked[gammaButton]);
    EXPECT_TRUE(f.site.checked[alphaButton]);
    f.host->RefreshModuleMenus();
    EXPECT_NE(f.host->Entry(0).Menu, nullptr);
}

// The shell's hooks must reach the host once it exists, and keep the
// shell's defaults before.
TEST(ShellBridge, ForwardsOnceTheHostIsSet) {
    modules::CModuleHostBridge bridge;
    EXPECT_EQ(bridge.SendModuleMessage("A", "Main frame", "x"), MESSAGE_INTERNAL_ERROR);
    EXPECT_TRUE(bridge.ModulesAllowClose());
    EXPECT_EQ(bridge.ChooseModuleForFiles(), 1);

    HostFixture f;
    f.folder = std::make_unique<ProbeFolder>(std::vector<std::string>{"alpha", "quillon"});
    bridge.SetHost(f.host.get());
    f.host->LoadModules(f.folder->Path());
    EXPECT_THAT(bridge.ModuleDisplayNames(), ElementsAre("Alpha", "Quillon"));
    EXPECT_TRUE(bridge.IsLoadedModule("quillon"));
    EXPECT_FALSE(bridge.ModulesAllowClose());
    EXPECT_TRUE(bridge.RouteCommandToModule(sonvara::ID_MODULE_FIRST));
    EXPECT_EQ(f.host->GetActiveModule(), &f.host->Entry(0));
    // The frame offers commands to the module's routing before its own
    // handling; the bridge's late hook must not offer them a second time.
    EXPECT_TRUE(f.host->RouteCommand(5000));
    EXPECT_FALSE(bridge.RouteCommandToModule(5000));
    EXPECT_EQ(bridge.SendModuleMessage("alpha", "Main frame", "x"), MESSAGE_OK);
    EXPECT_TRUE(bridge.HandlePlayerCommand(sonvara::ID_PLAYER_PLAY));
    EXPECT_STREQ(f.host->Player().GetPlayerOwner(), "Alpha");
    EXPECT_FALSE(bridge.HandlePlayerCommand(sonvara::ID_PLAYER_SHUFFLE));
}
