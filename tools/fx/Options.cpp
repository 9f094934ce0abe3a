#include "tools/fx/Options.h"
#include "platform/AsciiCase.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace fx {

namespace {

// Whole-string decimal integer with an optional sign; no blanks, no junk.
bool ParseInt(const std::string& text, long long& value) {
    if (text.empty()) return false;
    const char* first = text.data();
    const char* last = first + text.size();
    if (*first == '+') ++first;
    if (first == last || (*first == '-' && first + 1 == last)) return false;
    auto [end, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && end == last;
}

// A named setting option: its preset key and the range we accept. The
// plug-in itself takes any 32-bit value; the ranges keep typing mistakes
// from turning into silent nonsense (a gate that can never open, a zero
// segment length).
struct NumericSetting {
    const char* option;
    const char* key;
    long long min;
    long long max;
};

constexpr NumericSetting kNumericSettings[] = {
    {"--speed", "Speed", 1, 1000},
    {"--threshold", "Threshold", 0, 200},
    {"--rate", "Rate", 1, 1000},
};

// Element names of the XML presets we write: a letter or '_' first, then
// letters, digits, '_', '-' and '.'.
bool IsXmlName(const std::string& name) {
    if (name.empty()) return false;
    auto first = static_cast<unsigned char>(name[0]);
    if (!std::isalpha(first) && first != '_') return false;
    return std::all_of(name.begin(), name.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '_' || c == '-' || c == '.';
    });
}

} // namespace

bool IsNumber(const std::string& text) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(value);
}

bool ParseTone(const std::string& text, int& index) {
    long long semitones = 0;
    if (!ParseInt(text, semitones) || semitones < -6 || semitones > 6) return false;
    index = 6 - static_cast<int>(semitones);
    return true;
}

bool ParseLaw(const std::string& text, int& law) {
    static const char* const kNames[] = {"drums", "periodic", "twice", "once"};
    std::string lower = platform::LowerAscii(text);
    for (int i = 0; i < 4; ++i) {
        if (lower == kNames[i]) {
            law = i;
            return true;
        }
    }
    long long value = 0;
    if (ParseInt(text, value) && value >= 0 && value <= 3) {
        law = static_cast<int>(value);
        return true;
    }
    return false;
}

ParseResult ParseOptions(const std::vector<std::string>& args) {
    ParseResult result;
    FxOptions& o = result.options;
    std::vector<std::string> positional;
    bool sectionGiven = false;

    auto fail = [&](std::string message) {
        result.error = std::move(message);
        return result;
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (arg == "--") {
            positional.insert(positional.end(), args.begin() + static_cast<long>(i) + 1,
                              args.end());
            break;
        }
        if (arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }

        // "--name=value" and "--name value" are both accepted.
        std::string name = arg;
        std::string inlineValue;
        bool hasInline = false;
        if (arg.rfind("--", 0) == 0) {
            if (auto eq = arg.find('='); eq != std::string::npos) {
                name = arg.substr(0, eq);
                inlineValue = arg.substr(eq + 1);
                hasInline = true;
            }
        }
        std::string value;
        auto takeValue = [&]() -> bool {
            if (hasInline) {
                value = inlineValue;
                return true;
            }
            if (i + 1 >= args.size()) return false;
            value = args[++i];
            return true;
        };
        auto noValue = [&]() { return !hasInline; };

        if (name == "-h" || name == "--help") {
            o.help = true;
            continue;
        }
        if (name == "--version") {
            o.version = true;
            continue;
        }
        if (name == "-q" || name == "--quiet") {
            if (!noValue()) return fail(name + " takes no value");
            o.quiet = true;
            continue;
        }
        if (name == "--progress" || name == "--no-progress") {
            if (!noValue()) return fail(name + " takes no value");
            o.progress = name == "--progress" ? ProgressMode::Always : ProgressMode::Never;
            continue;
        }
        if (name == "--info") {
            if (!noValue()) return fail(name + " takes no value");
            o.info = true;
            continue;
        }

        // Everything below takes a value.
        static const char* const kValued[] = {
            "--plugin",  "--block",           "--preset-ini",      "--preset-xml",
            "--section", "--save-preset-ini", "--save-preset-xml", "--save-section",
            "--set",     "--speed",           "--threshold",       "--rate",
            "--law",     "--first-tone",      "--second-tone"};
        if (std::find(std::begin(kValued), std::end(kValued), name) == std::end(kValued))
            return fail("unknown option '" + name + "'");
        if (!takeValue()) return fail("option '" + name + "' needs a value");
        if (value.empty() && name != "--section" && name != "--save-section")
            return fail("option '" + name + "' needs a value");

        if (name == "--plugin") {
            o.plugin = value;
        } else if (name == "--block") {
            long long frames = 0;
            if (!ParseInt(value, frames) || frames < 1 || frames > 65536)
                return fail("--block wants a frame count from 1 to 65536, not '" + value + "'");
            o.blockFrames = static_cast<std::uint32_t>(frames);
        } else if (name == "--preset-ini") {
            o.presetIni = value;
        } else if (name == "--preset-xml") {
            o.presetXml = value;
        } else if (name == "--section") {
            o.section = value;
            sectionGiven = true;
        } else if (name == "--save-preset-ini") {
            o.saveIni = value;
        } else if (name == "--save-preset-xml") {
            o.saveXml = value;
        } else if (name == "--save-section") {
            o.saveSection = value;
        } else if (name == "--set") {
            auto eq = value.find('=');
            if (eq == std::string::npos || eq == 0)
                return fail("--set wants KEY=VALUE, not '" + value + "'");
            const std::string key = value.substr(0, eq), setting = value.substr(eq + 1);
            // A value that is no number would reach the plug-in as 0 or its
            // default, and the run would go ahead as if it were understood.
            if (!IsNumber(setting))
                return fail("--set " + key + " wants a number, not '" + setting + "'");
            o.settings.emplace_back(key, setting);
        } else if (name == "--law") {
            int law = 0;
            if (!ParseLaw(value, law))
                return fail("--law wants drums, periodic, twice or once, not '" + value + "'");
            o.settings.emplace_back("Drums", std::to_string(law));
        } else if (name == "--first-tone" || name == "--second-tone") {
            int index = 0;
            if (!ParseTone(value, index))
                return fail(name + " wants semitones from -6 to +6, not '" + value + "'");
            o.settings.emplace_back(name == "--first-tone" ? "FirstTone" : "SecondTone",
                                    std::to_string(index));
        } else {
            for (const NumericSetting& s : kNumericSettings) {
                if (name != s.option) continue;
                long long n = 0;
                if (!ParseInt(value, n) || n < s.min || n > s.max)
                    return fail(name + " wants a whole number from " + std::to_string(s.min) +
                                " to " + std::to_string(s.max) + ", not '" + value + "'");
                o.settings.emplace_back(s.key, std::to_string(n));
            }
        }
    }

    if (o.help || o.version) return result;

    if (!o.presetIni.empty() && !o.presetXml.empty())
        return fail("give either --preset-ini or --preset-xml, not both");
    if (!o.presetIni.empty() && o.section.empty()) return fail("--preset-ini needs --section NAME");
    if (sectionGiven && o.presetIni.empty() && o.presetXml.empty())
        return fail("--section belongs to --preset-ini or --preset-xml");
    if (!o.saveIni.empty() && o.saveSection.empty()) {
        if (o.section.empty()) return fail("--save-preset-ini needs --save-section NAME");
        o.saveSection = o.section;
    }

    if (!o.saveXml.empty() && !o.saveSection.empty() && !IsXmlName(o.saveSection))
        return fail("--save-section '" + o.saveSection +
                    "' cannot name an XML element (use letters, digits, '_', '-', '.')");

    if (positional.size() > 2) return fail("too many file names (from '" + positional[2] + "' on)");
    if (positional.size() == 1) return fail("missing OUTPUT file after '" + positional[0] + "'");
    if (positional.size() == 2) {
        o.input = positional[0];
        o.output = positional[1];
    } else if (!o.info && !o.SavesPreset()) {
        return fail("missing INPUT and OUTPUT files");
    }
    return result;
}

std::string UsageText() {
    return R"(Usage: sonvara-fx [OPTIONS] INPUT OUTPUT
       sonvara-fx [OPTIONS] --save-preset-xml FILE
       sonvara-fx [--plugin PATH] --info

Runs an audio file through an effect plug-in and writes the result. By default
the plug-in is the voice effect Stavo Modulation: it listens for a steady sung
or spoken tone and, while it lasts, switches the voice between two pitches.

Effect settings (unset ones keep the preset's or the plug-in's default):
  --speed N          stable blocks before the voice gate opens, 1..1000
                     (default 3)
  --threshold N      voice level threshold, 0..200 (default 10)
  --rate N           analysis blocks (1320 frames, 30 ms at 44.1 kHz) per
                     tone segment, 1..1000 (default 3)
  --law LAW          when to switch tones: drums, periodic, twice or once
                     (default drums)
  --first-tone ST    first tone in semitones, -6..+6 (default +2)
  --second-tone ST   second tone in semitones, -6..+6 (default -2)
  --set KEY=VALUE    any setting by its preset key, for other plug-ins too
                     (Stavo Modulation: Speed, Threshold, Rate, Drums,
                     FirstTone, SecondTone; there tones are indexes 0..12
                     for +6..-6 semitones)

Presets (settings options given as well override the preset's values):
  --preset-ini FILE --section NAME
                     start from a section of an INI preset file
  --preset-xml FILE [--section PATH]
                     start from an XML preset: its document element, or
                     the child element at PATH (names joined by '/')
  --save-preset-ini FILE --save-section NAME
                     store the resulting settings in an INI section
  --save-preset-xml FILE [--save-section NAME]
                     store them as an XML file (document element NAME,
                     default "Preset")
  With a --save option the files may be left out: the preset is only stored.

Processing:
  --plugin PATH      effect plug-in library (default:
                     Effects/StavoModulation.so beside this program)
  --block FRAMES     frames per processing call, 1..65536 (default 1024)
  --progress         always show the progress bar on standard error
  --no-progress      never show it (default: shown on a terminal for
                     inputs longer than 10 seconds)
  -q, --quiet        no progress bar and no summary line
  --info             show the plug-in's name and vendor and exit
  -h, --help         show this text and exit
  --version          show the version and exit

INPUT is any file libsndfile reads (WAV, AIFF, FLAC, Ogg Vorbis, Opus,
MP3, ...). The type of OUTPUT follows its extension; it keeps the input's
sample rate and channel count and, where the type allows, its sample format.
OUTPUT is written to a temporary file and put in place only when processing
succeeds, so a failed or interrupted run never leaves a half-written file.

Exit status: 0 done, 1 failed (file or plug-in), 2 bad arguments,
130 interrupted.

Example:
  sonvara-fx --law periodic --first-tone +3 --second-tone -3 voice.wav out.flac
)";
}

} // namespace fx
