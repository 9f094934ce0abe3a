// A process killed while it saves settings (config.ini, the registry store,
// a preset) must leave each file as it was before the save or as the save
// made it, never cut short, never mixed, never taken for a damaged file; and
// the temporary files killed saves leave must not pile up.
#include "platform/AtomicFile.h"
#include "platform/Profile.h"
#include "platform/Registry.h"
#include "plugin/Presets.h"
#include "plugin/Stream.h"
#include "support/TempDir.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A value long enough that a torn write would show: the save number at both
// ends of a run of filler.
std::string Payload(long n) {
    return std::to_string(n) + ":" + std::string(3000, 'x') + ":" + std::to_string(n);
}

// The save number of a whole payload, -1 for anything else.
long PayloadNumber(const std::string& text) {
    const auto first = text.find(':'), last = text.rfind(':');
    if (first == std::string::npos || last - first != 3001) return -1;
    const std::string a = text.substr(0, first), b = text.substr(last + 1);
    if (a.empty() || a != b || text.find_first_not_of('x', first + 1) != last) return -1;
    return std::stol(a);
}

struct Files {
    std::string config, store, preset;
};

// Saves the three files once with save number n (every preset setting set
// to n), telling the parent through the pipe before each save.
void SaveAll(const Files& f, long n, int pipe, EffectInstance& instance) {
    const std::string payload = Payload(n);
    auto tick = [&] {
        if (pipe >= 0 && ::write(pipe, "s", 1) != 1) ::_exit(3);
    };
    tick();
    platform::WritePrivateProfileString("Counter", "Value", payload.c_str(), f.config.c_str());
    tick();
    platform::RegSetValue(HKEY_CURRENT_USER, "Payload", platform::REG_SZ, payload.c_str(),
                          static_cast<platform::DWORD>(payload.size() + 1));
    tick();
    const auto v = static_cast<std::int32_t>(n);
    instance.Speed = instance.Threshold = instance.Rate = v;
    instance.law = instance.FirstTone = instance.SecondTone = v;
    stavo::WriteSettings(stavo::ValueStore{f.preset.c_str(), "Preset", nullptr, nullptr}, instance);
}

// What is on disk: the save numbers of config.ini, the store and the preset
// (-1 when not whole, or for a preset whose settings are not all from one
// save).
struct Seen {
    long config = -1, store = -1, preset = -1;
};

Seen Look(const Files& f) {
    Seen seen;
    std::string value(4096, '\0');
    const auto n = platform::GetPrivateProfileString("Counter", "Value", "", value.data(),
                                                     static_cast<platform::DWORD>(value.size()),
                                                     f.config.c_str());
    seen.config = PayloadNumber(value.substr(0, n));
    std::string stored(4096, '\0');
    platform::DWORD size = static_cast<platform::DWORD>(stored.size()), type = 0;
    if (platform::RegQueryValue(HKEY_CURRENT_USER, "Payload", &type, stored.data(), &size) ==
            platform::ERROR_SUCCESS &&
        type == platform::REG_SZ && size > 0)
        seen.store = PayloadNumber(stored.substr(0, size - 1));
    std::string first;
    for (const char* key : stavo::kSettingKeys) {
        char text[32] = {};
        platform::GetPrivateProfileString("Preset", key, "", text, sizeof text, f.preset.c_str());
        if (text[0] == '\0' || (!first.empty() && first != text)) return seen;
        first = text;
    }
    seen.preset = std::stol(first);
    return seen;
}

// tmpfs where there is one: a kill tests what a crash of the process leaves,
// which does not depend on the disk, and a flush to a real disk would make
// a thousand runs take minutes.
std::string FastFolder() {
    std::error_code ec;
    if (fs::is_directory("/dev/shm", ec)) {
        std::string pattern = "/dev/shm/sonvara-kill-XXXXXX";
        if (::mkdtemp(pattern.data())) return pattern;
    }
    return {};
}

TEST(CrashSafeSaving, KilledAtRandomPointsWhileSavingLeavesTheOldOrTheNewFile) {
    testsupport::TempDir fallback;
    std::string folder = FastFolder();
    const bool own = !folder.empty();
    if (!own) folder = fallback.path();
    const Files f{folder + "/config.ini", folder + "/registry.ini", folder + "/preset.ini"};
    platform::GuardSettingsFile(f.config);
    platform::RegSetStoreFile(f.store);
    EffectInstance* instance = stavo::NewInstance();
    SaveAll(f, 0, -1, *instance);

    constexpr int kKills = 1000;
    std::mt19937 random(20); // fixed: a failure can be replayed
    Seen before = Look(f);
    ASSERT_EQ(before.config, 0);
    int changed = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        // Each child numbers its saves from a range of its own, so a number
        // on disk tells which process wrote it.
        const long first = (kill + 1) * 100000L;
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(fds[0]);
            for (long n = first;; ++n)
                SaveAll(f, n, fds[1], *instance);
        }
        ::close(fds[1]);
        // Let the child start a random number of saves, then kill it
        // somewhere inside the last one (or a little after: the spin varies).
        const int saves = 1 + static_cast<int>(random() % 9);
        char c;
        for (int started = 0; started < saves && ::read(fds[0], &c, 1) == 1;)
            ++started;
        std::atomic<unsigned> spin{static_cast<unsigned>(random() % 40000)};
        while (spin.fetch_sub(1, std::memory_order_relaxed) > 0) {
        }
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ::close(fds[0]);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended by itself: " << status;

        const Seen seen = Look(f);
        ASSERT_TRUE(seen.config == before.config || seen.config >= first)
            << "config.ini neither old nor new after kill " << kill << ": " << seen.config;
        ASSERT_TRUE(seen.store == before.store || seen.store >= first)
            << "store neither old nor new after kill " << kill << ": " << seen.store << " "
            << platform::RegGetStoreError();
        ASSERT_TRUE(seen.preset == before.preset || seen.preset >= first)
            << "preset neither old nor new after kill " << kill << ": " << seen.preset;
        ASSERT_EQ(platform::RegGetStoreError(), "");
        // The temporaries of killed saves, made to look a few minutes old so
        // the next save of their file may take them away: never more than
        // the one of the last killed save of each file.
        for (const std::string& file : {f.config, f.store, f.preset}) {
            const std::string base = fs::path(file).filename().string() + ".tmp";
            int temporaries = 0;
            for (const auto& entry : fs::directory_iterator(folder)) {
                if (entry.path().filename().string().rfind(base, 0) != 0) continue;
                ++temporaries;
                fs::last_write_time(entry.path(),
                                    fs::file_time_type::clock::now() - std::chrono::minutes(5));
            }
            ASSERT_LE(temporaries, 1) << base << " after kill " << kill;
        }
        if (seen.config != before.config) ++changed;
        before = seen;
    }
    // Both outcomes were seen: the kills did land before and after renames.
    EXPECT_GT(changed, 0);
    EXPECT_LT(changed, kKills);
    int leftovers = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(name.find(".bad"), std::string::npos) << name;
        if (name.find(".tmp") != std::string::npos)
            ++leftovers;
        else if (name != "config.ini" && name != "registry.ini" && name != "preset.ini")
            ADD_FAILURE() << "a stray file: " << name;
    }
    std::printf("%d kills, config.ini replaced by the killed save %d times, %d temporary files "
                "left by killed saves\n",
                kKills, changed, leftovers);
    stavo::FreeInstance(instance);
    platform::RegSetStoreFile("");
    if (own) fs::remove_all(folder);
}

} // namespace
