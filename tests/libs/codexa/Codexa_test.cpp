#include <QApplication>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <sndfile.h>

#include "libs/codexa/CoderFormats.h"
#include "libs/codexa/RecordingFormatPanel.h"
#include "libs/codexa/RecordingSettings.h"
#include "libs/veneer/Controls.h"
#include "platform/Profile.h"
#include "sonvara/Codexa.h"
#include "sonvara/RecordingFormat.h"
#include "support/QtEnvironment.h"
#include "support/TempDir.h"

extern "C" int KelGetSupportedFileExtensions(char* buffer, std::uint32_t size);
extern "C" int KelCoderShowSettings(const char* coderName, QWidget* parent, int show);

using namespace codexa;

namespace {

const auto* const g_env = testsupport::AddQtEnvironment();

// Writes a short sine in the format; false when libsndfile refuses.
bool WriteSine(const std::string& path, int format, int rate, int channels) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* sf = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!sf) return false;
    std::vector<float> samples(static_cast<std::size_t>(rate / 10 * channels));
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = 0.5f * std::sin(static_cast<float>(i / channels) * 0.0627f);
    sf_writef_float(sf, samples.data(), rate / 10);
    sf_close(sf);
    return true;
}

} // namespace

// The host reads the list by a fixed rule; a parser that took a pattern
// without its ";" or read on into a second filter would offer extensions the
// coders never listed.
TEST(ExtensionFilter, ParsedByTheHostsRule) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SvParseExtensionFilter("Audio files|*.wav;*.flac;"), (V{".wav", ".flac"}));
    EXPECT_EQ(SvParseExtensionFilter("Audio|*.wav;*.flac"), (V{".wav"}));
    EXPECT_EQ(SvParseExtensionFilter("Audio|*.wav;|Video|*.avi;"), (V{".wav"}));
    EXPECT_EQ(SvParseExtensionFilter("Audio|*.wav;*.m|p3;"), (V{".wav"}));
    EXPECT_TRUE(SvParseExtensionFilter("no bar at all;").empty());
    EXPECT_TRUE(SvParseExtensionFilter("Audio|").empty());
    EXPECT_TRUE(SvParseExtensionFilter("Audio|*").empty());
    EXPECT_TRUE(SvParseExtensionFilter("").empty());
    EXPECT_TRUE(SvParseExtensionFilter(nullptr).empty());
}

// The exported list must parse back to exactly the readable types, reach a
// module through the program's exported symbol, and a buffer too small for
// it must not yield a cut list that still parses.
TEST(ExtensionFilter, ExportedListParsesBackWhole) {
    std::vector<char> buffer(kSvExtensionBufferSize);
    ASSERT_EQ(KelGetSupportedFileExtensions(buffer.data(), kSvExtensionBufferSize), 1);
    std::vector<std::string> expected;
    for (const SReadableType& t : ReadableTypes())
        expected.push_back("." + t.extension);
    EXPECT_EQ(SvParseExtensionFilter(buffer.data()), expected);
    // What a module gets: the program exports the function for it to find.
    EXPECT_EQ(SvSupportedFileExtensions(), expected);
    for (const char* ext : {".wav", ".flac", ".ogg", ".aiff"})
        EXPECT_NE(std::find(expected.begin(), expected.end(), ext), expected.end()) << ext;
    EXPECT_EQ(std::find(expected.begin(), expected.end(), ".raw"), expected.end());

    char small[16] = "untouched";
    EXPECT_EQ(KelGetSupportedFileExtensions(small, sizeof small), 0);
    EXPECT_STREQ(small, "");
}

// A listed extension that libsndfile cannot open on its own (headerless raw,
// an extension mapped to the wrong container) would let the user pick files
// the player then fails on.
TEST(ExtensionFilter, EveryListedExtensionOpensAFileLibsndfileWrote) {
    testsupport::TempDir dir;
    std::vector<std::string> readOnly;
    for (const SReadableType& t : ReadableTypes()) {
        int format = 0, rate = 0;
        for (int r : {44100, 48000, 8000, 16000, 22050}) {
            if (t.subtype) {
                if (IsWritable(t.major | t.subtype, r, 1)) format = t.major | t.subtype;
            } else if (const auto formats = SampleFormatsFor(t.major, r, 1); !formats.empty()) {
                format = t.major | formats.front().subtype;
            }
            if (format) {
                rate = r;
                break;
            }
        }
        if (!format) {
            readOnly.push_back(t.extension);
            continue;
        }
        const std::string path = dir.file("probe." + t.extension);
        ASSERT_TRUE(WriteSine(path, format, rate, 1)) << t.extension;
        SF_INFO info{};
        SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info);
        EXPECT_NE(sf, nullptr) << t.extension << ": " << sf_strerror(nullptr);
        if (!sf) continue;
        EXPECT_EQ(info.channels, 1) << t.extension;
        EXPECT_GT(info.frames, 0) << t.extension;
        EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, t.major) << t.extension;
        sf_close(sf);
    }
    // Only the decoder-only MPEG layers, and Sound Designer II (never
    // recorded, see IsWritable), may be listed without a writer.
    for (const std::string& ext : readOnly)
        EXPECT_TRUE(ext == "mp1" || ext == "mp2" || ext == "sd2")
            << ext << " is listed but was never written";
}

// Opus takes only its own sample rates, which sf_format_check does not know:
// offering Opus at 44100 Hz would store a format no module can open.
TEST(RecordingFormatPanel, OffersOnlyFormatsLibsndfileWrites) {
    testsupport::TempDir dir;
    const std::string ini = dir.file("config.ini");
    CRecordingFormatPanel panel(ini, nullptr);
    EXPECT_EQ(panel.Format().format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_EQ(panel.Format().sampleRate, 44100);
    EXPECT_FALSE(panel.QualitySlider()->isEnabled());

    // Whatever the user picks, the stored format is one libsndfile writes.
    for (int c = 0; c < panel.ContainerBox()->count(); ++c) {
        panel.ContainerBox()->setCurrentIndex(c);
        for (int s = 0; s < panel.SampleFormatBox()->count(); ++s) {
            panel.SampleFormatBox()->setCurrentIndex(s);
            const SvRecordingFormat& f = panel.Format();
            EXPECT_TRUE(IsWritable(f.format, f.sampleRate, f.channels))
                << panel.ContainerBox()->itemText(c).toStdString() << " "
                << panel.SampleFormatBox()->itemText(s).toStdString();
            EXPECT_EQ(f.format & SF_FORMAT_SUBMASK, panel.SampleFormatBox()->itemData(s).toInt());
        }
    }

    const int ogg = panel.ContainerBox()->findData(SF_FORMAT_OGG);
    if (ogg < 0) GTEST_SKIP() << "libsndfile without Ogg";
    panel.ContainerBox()->setCurrentIndex(ogg);
    const int opus = panel.SampleFormatBox()->findData(SF_FORMAT_OPUS);
    if (opus < 0) GTEST_SKIP() << "libsndfile without Opus";
    panel.SampleFormatBox()->setCurrentIndex(opus);
    EXPECT_EQ(panel.Format().sampleRate, 48000);
    EXPECT_TRUE(panel.QualitySlider()->isEnabled());
    EXPECT_EQ(panel.SampleRateBox()->findData(44100), -1);
    const SvRecordingFormat stored = LoadRecordingFormat(ini);
    EXPECT_EQ(stored.format, SF_FORMAT_OGG | SF_FORMAT_OPUS);
    EXPECT_EQ(stored.extension, "opus");
    EXPECT_TRUE(
        WriteSine(dir.file("take.opus"), stored.format, stored.sampleRate, stored.channels));
}

// The coders' entry point must put exactly one panel into the parent, even
// when asked twice, and remove it again; a hand-edited format libsndfile
// cannot write must fall back to the default instead of being offered.
TEST(RecordingFormatPanel, ShownOnceRemovedAndNeverUnwritable) {
    testsupport::TempDir dir;
    const std::string ini = dir.file("config.ini");
    codexa::SetSettingsFile(ini);
    QWidget parent;
    ASSERT_EQ(KelCoderShowSettings("", &parent, 1), 1);
    EXPECT_EQ(KelCoderShowSettings(nullptr, &parent, 1), 1);
    EXPECT_EQ(parent.findChildren<CRecordingFormatPanel*>().size(), 1);
    ASSERT_EQ(KelCoderShowSettings("", &parent, 0), 1);
    EXPECT_EQ(parent.findChild<CRecordingFormatPanel*>(), nullptr);
    codexa::SetSettingsFile("");

    platform::WritePrivateProfileString("Main frame: params", kSvRecordingFormatKey, "0x7FFFFFFF",
                                        ini.c_str());
    EXPECT_EQ(LoadRecordingFormat(ini).format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    platform::WritePrivateProfileString("Main frame: params", kSvRecordingFormatKey, "0x200064",
                                        ini.c_str()); // Opus at the default 44100 Hz
    EXPECT_EQ(LoadRecordingFormat(ini).format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
}
