#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "shell/OptionParser.h"
#include "shell/Utf8.h"
#include "shell/TrellisApp.h"

using namespace trellis;

namespace {

// One application with default ShellData and a parser over it; what the
// parser printed is kept in `warnings`.
struct Parsed {
    TrellisApp app;
    ShellOptionParser parser{&app};
    ShellData& data = *app.GetShellData();
    std::string warnings;

    explicit Parsed(const char16_t* commandLine)
    {
        testing::internal::CaptureStderr();
        parser.ParseCommandLine(commandLine);
        warnings = testing::internal::GetCapturedStderr();
    }

    explicit Parsed(const std::vector<std::string>& tokens)
    {
        std::vector<const char*> pointers;
        for (const std::string& token : tokens) {
            pointers.push_back(token.c_str());
        }
        testing::internal::CaptureStderr();
        parser.ParseArguments(static_cast<int32_t>(pointers.size()), pointers.data());
        warnings = testing::internal::GetCapturedStderr();
    }

    std::vector<std::string> Saved() const
    {
        std::vector<std::string> saved;
        for (int32_t i = 0; i < parser.GetArgCount(); ++i) {
            saved.emplace_back(parser.GetArgs()[i]);
        }
        return saved;
    }
};

using Tokens = std::vector<std::string>;

// Zero, non-numeric and out-of-range values are consumed but keep the defaults
// (640 x 480, the default position); numbers stop at the first non-digit.
TEST(ShellOptionParser, SizePositionAndFsaaOptionsSetTheirValuesAndClearTheirDefaultFlags)
{
    struct Case {
        const char16_t* line;
        int32_t width, height, posX, posY, defaultSize, defaultPosition, fsaaMode;
        bool quiet;
    };
    const Case cases[] = {
        {u"-width=320 -height=200 -posx=12 -posy=-7", 320, 200, 12, -7, 0, 0, 0, true},
        {u"-width=320", 320, 480, 0, 0, 0, 1, 0, true},
        {u"-posx=0 -posy=abc -width=0 -height=x -FSAAMode=0", 640, 480, 0, 0, 1, 1, 0, false},
        {u"-width=320x240 -height=+200 -FSAAMode=2samples", 320, 200, 0, 0, 0, 1, 2, false},
        {u"-width=99999999999999999999 -height=-64 -posx=2147483647 -posy=-1048577", 640, 480, 0, 0, 1, 1, 0, false},
        {u"-width=1048576 -posx=-1048576", 1 << 20, 480, -(1 << 20), 0, 0, 0, 0, true},
    };
    for (const Case& c : cases) {
        const Parsed p(c.line);
        const ShellData& d = p.data;
        using Values = std::vector<int32_t>;
        EXPECT_EQ((Values{c.width, c.height, c.posX, c.posY, c.defaultSize, c.defaultPosition, c.fsaaMode}),
                  (Values{d.width, d.height, d.posX, d.posY, d.defaultSize, d.defaultPosition, d.fsaaMode}))
            << NarrowUtf16(c.line);
        EXPECT_EQ(c.quiet, p.warnings.empty()) << p.warnings;
        EXPECT_TRUE(p.Saved().empty());
    }
}

TEST(ShellOptionParser, NumbersAllowLeadingSpacesWhenHandedOneToken)
{
    TrellisApp app;
    ShellOptionParser parser(&app, false);
    EXPECT_TRUE(parser.HandleOption("-width=  \t64"));
    EXPECT_EQ(64, app.GetShellData()->width);
    // A space before the 0 is no written 0: the frame limit stays off.
    EXPECT_TRUE(parser.HandleOption("-qaf= 0"));
    EXPECT_EQ(-1, app.GetShellData()->quitAfterFrame);
}

TEST(ShellOptionParser, NumbersBeyondTheIntegerRangeSaturate)
{
    EXPECT_EQ(INT32_MAX, Parsed(u"-qaf=99999999999999999999").data.quitAfterFrame);
    EXPECT_EQ(INT32_MIN, Parsed(u"-qaf=-99999999999999999999").data.quitAfterFrame);
    EXPECT_EQ(INT32_MAX, Parsed(u"-FSAAMode=2147483648").data.fsaaMode);
}

TEST(ShellOptionParser, FsaaModeStoresAnyNonZeroNumberAndWarnsBeyondTwo)
{
    EXPECT_EQ(1, Parsed(u"-FSAAMode=1").data.fsaaMode);
    Parsed seven(u"-FSAAMode=7");
    EXPECT_EQ(7, seven.data.fsaaMode);
    EXPECT_EQ("-FSAAMode=7: not 0, 1 or 2; using no multisampling\n", seven.warnings);
}

TEST(ShellOptionParser, TheLaterOfFullscreenAndWindowedWins)
{
    EXPECT_EQ(0, Parsed(u"-fullscreen -windowed").data.fullScreen);
    EXPECT_EQ(1, Parsed(u"-windowed -fullscreen").data.fullScreen);
    // Anything may follow the option text.
    Parsed extra(u"-windowed -fullscreenplease");
    EXPECT_EQ(1, extra.data.fullScreen);
    EXPECT_TRUE(extra.Saved().empty());
    EXPECT_EQ(0, Parsed(u"-windowedx").data.fullScreen);
}

TEST(ShellOptionParser, FrameLimitAcceptsAWrittenZero)
{
    // 0 (one frame) and -1 (no limit) are written limits: no warning.
    const Parsed zero(u"-qaf=0");
    EXPECT_EQ(0, zero.data.quitAfterFrame);
    EXPECT_EQ("", zero.warnings);
    const Parsed none(u"-qaf=5 -qaf=-1");
    EXPECT_EQ(-1, none.data.quitAfterFrame);
    EXPECT_EQ("", none.warnings);
    EXPECT_EQ(0, Parsed(u"-quitafterframe=0").data.quitAfterFrame);
    EXPECT_EQ(2, Parsed(u"-qaf=2").data.quitAfterFrame);
    EXPECT_EQ(100, Parsed(u"-quitafterframe=100").data.quitAfterFrame);
    EXPECT_EQ(-1, Parsed(u"-qaf=abc").data.quitAfterFrame);
    EXPECT_EQ(-1, Parsed(u"-qaf=").data.quitAfterFrame);
    EXPECT_EQ(-5, Parsed(u"-qaf=5 -qaf=-5").data.quitAfterFrame);
    EXPECT_EQ(0, Parsed(u"-qaf=0x10").data.quitAfterFrame);
    // Only a 0 written first is a limit of 0.
    EXPECT_EQ(-1, Parsed(u"-qaf=+0").data.quitAfterFrame);
    EXPECT_EQ(-1, Parsed(u"-qaf=-0").data.quitAfterFrame);
}

TEST(ShellOptionParser, TimeLimitTakesNonZeroReals)
{
    EXPECT_FLOAT_EQ(1.5f, Parsed(u"-qat=1.5").data.quitAfterTime);
    EXPECT_FLOAT_EQ(2.25f, Parsed(u"-quitaftertime=2.25").data.quitAfterTime);
    EXPECT_EQ(-1.0f, Parsed(u"-qat=0").data.quitAfterTime);
    EXPECT_EQ(-1.0f, Parsed(u"-qat=abc").data.quitAfterTime);
    EXPECT_EQ(-1.0f, Parsed(u"-quitaftertime=").data.quitAfterTime);
    EXPECT_EQ(-5.0f, Parsed(u"-qat=-5").data.quitAfterTime);
    // The value is narrowed to float: 0.1 becomes the float nearest to it.
    EXPECT_EQ(0.1f, Parsed(u"-qat=0.1").data.quitAfterTime);
    // No loop reaches an infinite or NaN limit: they are never stored.
    EXPECT_EQ(-1.0f, Parsed(u"-qat=1e300").data.quitAfterTime);
    EXPECT_EQ(-1.0f, Parsed(u"-qat=nan").data.quitAfterTime);
    EXPECT_EQ(-1.0f, Parsed(u"-qat=-inf").data.quitAfterTime);
    EXPECT_FLOAT_EQ(1000.0f, Parsed(u"-qat=1e3").data.quitAfterTime);
}

TEST(ShellOptionParser, EachUnusableValueIsNamedWithWhatIsUsedInstead)
{
    const std::string frames = ": not a frame count from 0 to 2147483647; ";
    const std::string seconds = ": not a positive number of seconds; ";
    const std::vector<std::pair<std::string, std::string>> cases{
        {"-qaf=abc", "-qaf=abc" + frames + "using no frame limit\n"},
        {"-qaf=1e3", "-qaf=1e3" + frames + "using 1\n"},
        {"-qaf=-2", "-qaf=-2" + frames + "using no frame limit\n"},
        {"--qaf=x", "--qaf=x" + frames + "using no frame limit\n"},
        {"-quitafterframe=99999999999", "-quitafterframe=99999999999" + frames + "using 2147483647\n"},
        {"-qat=nan", "-qat=nan" + seconds + "using no time limit\n"},
        {"-qat=inf", "-qat=inf" + seconds + "using no time limit\n"},
        {"-qat=-1", "-qat=-1" + seconds + "using no time limit\n"},
        {"-qat=0", "-qat=0" + seconds + "using no time limit\n"},
        {"-quitaftertime=2.5s", "-quitaftertime=2.5s" + seconds + "using 2.5 seconds\n"},
        {"-FSAAMode=2x", "-FSAAMode=2x: not 0, 1 or 2; using four samples\n"},
        {"-FSAAMode=-1", "-FSAAMode=-1: not 0, 1 or 2; using no multisampling\n"},
        {"-width=320x240", "-width=320x240: not a size from 1 to 1048576; using 320\n"},
        {"-width=-64", "-width=-64: not a size from 1 to 1048576; using 640\n"},
        {"-height=0", "-height=0: not a size from 1 to 1048576; using 480\n"},
        {"-posx=0", "-posx=0: not a position from -1048576 to 1048576 other than 0; using the default position\n"},
        {"-posy=12px", "-posy=12px: not a position from -1048576 to 1048576 other than 0; using 12\n"},
        {"-fullscreenXYZ", "-fullscreenXYZ: characters after the option; taken as -fullscreen\n"},
        {"-windowed=1", "-windowed=1: characters after the option; taken as -windowed\n"},
    };
    for (const auto& [token, warning] : cases) {
        EXPECT_EQ(warning, Parsed(Tokens{token}).warnings) << token;
    }
    EXPECT_EQ(1, Parsed(Tokens{"-qaf=1e3"}).data.quitAfterFrame);
    EXPECT_FLOAT_EQ(2.5f, Parsed(Tokens{"-qat=2.5s"}).data.quitAfterTime);
    EXPECT_EQ(0, Parsed(Tokens{"-windowed=1"}).data.fullScreen);

    // The entry's second parse says nothing new.
    TrellisApp app;
    ShellOptionParser quiet(&app, false);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(quiet.HandleOption("-qaf=abc"));
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
}

TEST(ShellOptionParser, HelpWordsAreConsumedAndNoted)
{
    for (const char* help : {"-help", "--help", "-h", "-?"}) {
        Parsed p(Tokens{"-qaf=1", help});
        EXPECT_TRUE(p.parser.HelpRequested()) << help;
        EXPECT_TRUE(p.Saved().empty()) << help;
    }
    Parsed near(Tokens{"-helpme", "-H", "help"});
    EXPECT_FALSE(near.parser.HelpRequested());
    EXPECT_EQ((Tokens{"-helpme", "-H", "help"}), near.Saved());
}

TEST(AppOptions, ValueOptionsMatchByPrefixAndFlagsWhole)
{
    const TrellisAppOption declared[] = {
        {"-frames=", "LIST", "frames"}, {"-verbose", nullptr, "talk more"}, {nullptr, nullptr, nullptr}};
    EXPECT_TRUE(IsDeclaredOption(declared, "-frames=1,2"));
    EXPECT_TRUE(IsDeclaredOption(declared, "-frames="));
    EXPECT_TRUE(IsDeclaredOption(declared, "-verbose"));
    EXPECT_FALSE(IsDeclaredOption(declared, "-frames"));
    EXPECT_FALSE(IsDeclaredOption(declared, "-verbosely"));
    EXPECT_FALSE(IsDeclaredOption(nullptr, "-verbose"));
    EXPECT_EQ(nullptr, TrellisApp().GetAppOptions()) << "an application declares none by default";
}

// The README's options table: each row's first column without its backquotes, and its second.
std::vector<std::pair<std::string, std::string>> ReadmeOptionRows()
{
    std::ifstream readme(TRELLIS_README);
    std::vector<std::pair<std::string, std::string>> rows;
    std::string line;
    bool inSection = false;
    while (std::getline(readme, line)) {
        if (line.rfind("## ", 0) == 0) {
            inSection = line == "## Command-line options";
        } else if (inSection && line.rfind("| `", 0) == 0) {
            const size_t split = line.find(" | ");
            std::string options = line.substr(2, split - 2);
            options.erase(std::remove(options.begin(), options.end(), '`'), options.end());
            rows.emplace_back(options, line.substr(split + 3, line.size() - split - 5));
        }
    }
    return rows;
}

// The usage text's lines, each option's wrapped effect joined into one line.
std::vector<std::string> UsageLines(const std::string& usage)
{
    std::istringstream text(usage);
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) {
        EXPECT_LE(line.size(), kUsageWidth) << line;
        const size_t words = line.find_first_not_of(' ');
        if (words != std::string::npos && words > 4 && !lines.empty()) {
            lines.back() += " " + line.substr(words);
        } else {
            lines.push_back(line);
        }
    }
    return lines;
}

TEST(ShellUsage, ListsTheReadmeTableLineForLineThenTheApplicationsOwn)
{
    const auto rows = ReadmeOptionRows();
    ASSERT_EQ(8u, rows.size());
    const TrellisAppOption declared[] = {{"-frames=", "LIST", "frames to save"}, {nullptr, nullptr, nullptr}};
    const std::vector<std::string> lines = UsageLines(ShellUsage("capture", declared, true));
    ASSERT_GE(lines.size(), rows.size() + 9);
    EXPECT_EQ("Usage: capture [options]", lines[0]);
    const size_t column = lines[3].find(rows[0].second);
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::string& line = lines[3 + i];
        EXPECT_EQ("  " + rows[i].first + std::string(column - 2 - rows[i].first.size(), ' ') + rows[i].second, line);
    }
    EXPECT_EQ("Each option may also be written with two dashes (--windowed, --width=800).", lines[4 + rows.size()]);
    EXPECT_EQ("After -- nothing is an option: the rest goes to capture as it is.", lines[5 + rows.size()]);
    EXPECT_EQ("Options of capture:", lines[7 + rows.size()]);
    EXPECT_EQ("  -frames=LIST" + std::string(column - 14, ' ') + "frames to save", lines[8 + rows.size()]);
    EXPECT_NE(std::string::npos, ShellUsage("hello", nullptr, true).find("\nhello has no options of its own.\n"));
    // An application that opens a framed window by default says so.
    EXPECT_NE(std::string::npos, ShellUsage("input", nullptr, false)
                                     .find("  -fullscreen / -windowed    full screen or a framed, centred window (the\n"
                                           "                             default)\n"));
}

TEST(ShellOptionParser, GnuSpellingsTheEndOfTheOptionsVersionAndEmptyArguments)
{
    Parsed gnu(Tokens{"--windowed", "--width=800", "--qaf=2", "word", "--", "-height=600", "--", "", "-qaf=9"});
    EXPECT_EQ("", gnu.warnings);
    EXPECT_EQ(0, gnu.data.fullScreen);
    EXPECT_EQ(800, gnu.data.width);
    EXPECT_EQ(480, gnu.data.height);
    EXPECT_EQ(2, gnu.data.quitAfterFrame);
    EXPECT_EQ((Tokens{"word", "-height=600", "--", "", "-qaf=9"}), gnu.Saved());
    EXPECT_EQ(1, gnu.parser.GetOptionCount());
    EXPECT_TRUE(gnu.parser.SizeGiven());
    EXPECT_FALSE(gnu.parser.PositionGiven());
    // A 16-bit line ends its options the same way.
    Parsed line(u"-qaf=1 -- -qaf=2");
    EXPECT_EQ(1, line.data.quitAfterFrame);
    EXPECT_EQ((Tokens{"-qaf=2"}), line.Saved());
    EXPECT_EQ(0, line.parser.GetOptionCount());

    for (const char* version : {"--version", "-version"}) {
        Parsed p(Tokens{version});
        EXPECT_TRUE(p.parser.VersionRequested()) << version;
        EXPECT_TRUE(p.Saved().empty()) << version;
    }
    EXPECT_FALSE(Parsed(Tokens{"--versions"}).parser.VersionRequested());
    EXPECT_EQ("kestrel (Trellis) 1.0.0\n", ShellVersion("kestrel"));

    Parsed empty(Tokens{"", "-posx=4"});
    EXPECT_EQ("empty argument ignored\n", empty.warnings);
    EXPECT_TRUE(empty.Saved().empty());
    EXPECT_TRUE(empty.parser.PositionGiven());
    EXPECT_FALSE(Parsed(Tokens{"-width=0"}).parser.SizeGiven());
}

TEST(NearestOption, NamesACloseOptionWithTheTokensValueAndNoneForOthers)
{
    const TrellisAppOption declared[] = {{"-frames=", "LIST", "frames"}, {nullptr, nullptr, nullptr}};
    const std::vector<std::pair<std::string, std::string>> cases{
        {"-windowd", "-windowed"}, {"--windowd", "--windowed"}, {"-widht=800", "-width=800"},
        {"-Width=5", "-width=5"},  {"-qaf", "-qaf="},           {"-frame=3", "-frames=3"},
        {"-versoin", "-version"},  {"-windowd=1", "-windowed"}, {"alpha", ""},
        {"-x", ""},                {"-colour", ""},             {"-frames", "-frames="},
    };
    for (const auto& [token, nearest] : cases) {
        EXPECT_EQ(nearest, NearestOption(token.c_str(), declared)) << token;
    }
    EXPECT_EQ("", NearestOption("-frame=3", nullptr));
    EXPECT_EQ("", NearestOption(std::string(200, 'w').c_str(), declared));
}

TEST(ShellOptionParser, UnknownTokensAreSavedInOrder)
{
    Parsed p(u"-Width=320 demo -qaf=3 -qax=1 fullscreen");
    EXPECT_EQ((Tokens{"-Width=320", "demo", "-qax=1", "fullscreen"}), p.Saved());
    EXPECT_EQ(640, p.data.width);
    EXPECT_EQ(3, p.data.quitAfterFrame);
    EXPECT_EQ(4, p.parser.GetArgCount());
}

TEST(ShellOptionParser, OptionTextsMatchAtTheStartOnly)
{
    TrellisApp app;
    ShellOptionParser parser(&app);
    EXPECT_FALSE(parser.HandleOption("x-width=320"));
    EXPECT_FALSE(parser.HandleOption("-width"));
    EXPECT_FALSE(parser.HandleOption("-fullscree"));
    EXPECT_FALSE(parser.HandleOption("-fsaamode=2"));
    EXPECT_FALSE(parser.HandleOption("---width=320"));
    EXPECT_EQ(640, app.GetShellData()->width);
    EXPECT_EQ(0, app.GetShellData()->fsaaMode);
}

TEST(OptionParser, SplitsOnlyAtSpacesAndTabs)
{
    EXPECT_EQ((Tokens{"a", "b"}), Parsed(u"a  b").Saved());
    EXPECT_EQ((Tokens{"a", "b", "c,d"}), Parsed(u"\t a\tb \t c,d \t").Saved());
    EXPECT_EQ((Tokens{"\"x", "y\""}), Parsed(u"\"x y\"").Saved());
    EXPECT_EQ((Tokens{"line\nbreak"}), Parsed(u"line\nbreak").Saved());
}

TEST(OptionParser, BlankOrEmptyCommandLinesGiveNoTokens)
{
    EXPECT_TRUE(Parsed(u" \t  \t").Saved().empty());
    EXPECT_TRUE(Parsed(u"").Saved().empty());
    Parsed empty(u"");
    EXPECT_EQ(0, empty.parser.GetArgCount());
    EXPECT_NE(nullptr, empty.parser.GetArgs());
}

TEST(OptionParser, ASixteenBitLineBecomesUtf8WithEveryCharacterWhole)
{
    EXPECT_EQ((Tokens{"\xC5\x81\xC3\xA9\xE2\x81\xA2"}), Parsed(u"\u0141\u00E9\u2062").Saved());
    // U+0120 is no separator, U+012F no path separator, U+0131 no digit.
    EXPECT_EQ((Tokens{"x\xC4\xA0y", "sub\xC4\xAFk", "-frames=\xC4\xB1"}),
              Parsed(u"x\u0120y sub\u012Fk -frames=\u0131").Saved());
    // A surrogate pair is one 4-byte character; a lone surrogate becomes U+FFFD.
    std::u16string line = u"\U0001D11E a";
    line.push_back(char16_t(0xD800));
    line.push_back(u'b');
    EXPECT_EQ((Tokens{"\xF0\x9D\x84\x9E", "a\xEF\xBF\xBD" "b"}), Parsed(line.c_str()).Saved());
}

TEST(OptionParser, ArgumentsReachTheApplicationByteForByte)
{
    const Tokens tokens{"-prefix=My Shots/k", "na\xC3\xAFve-\xE2\x98\x83", "\xF0\x9F\x90\xA6\t", "\xFF\xFE"};
    Parsed p(tokens);
    EXPECT_EQ(tokens, p.Saved());
    // An argument holding spaces is still one option.
    Parsed spaced(Tokens{"-width=320 -height=200", "-qaf=2"});
    EXPECT_EQ(320, spaced.data.width);
    EXPECT_EQ(480, spaced.data.height);
    EXPECT_EQ(2, spaced.data.quitAfterFrame);
}

TEST(OptionParser, KeepsAtMostAHundredTokensCountsTheRestAndStillHandlesOptionsAfterThem)
{
    std::u16string line;
    for (int i = 0; i < 105; ++i) {
        for (char c : "t" + std::to_string(i) + " ") {
            line.push_back(static_cast<char16_t>(c));
        }
    }
    line += u"-qaf=9";
    Parsed p(line.c_str());
    const Tokens saved = p.Saved();
    ASSERT_EQ(100u, saved.size());
    EXPECT_EQ("t0", saved.front());
    EXPECT_EQ("t99", saved.back());
    EXPECT_EQ(5, p.parser.GetDroppedCount());
    EXPECT_EQ(9, p.data.quitAfterFrame);
    EXPECT_EQ(0, Parsed(u"a b").parser.GetDroppedCount());
}

TEST(OptionParser, ANullCommandLineGivesNoTokens)
{
    Parsed p(nullptr);
    EXPECT_EQ(0, p.parser.GetArgCount());
}

} // namespace
