#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "shell/OptionParser.h"
#include "shell/TrellisApp.h"

namespace {

// One application with default ShellData and a parser over it.
struct Parsed {
    TrellisApp app;
    ShellOptionParser parser{&app};
    ShellData& data = *app.GetShellData();

    explicit Parsed(const char16_t* commandLine) { parser.ParseCommandLine(commandLine); }

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

TEST(ShellOptionParser, SizeAndPositionOptionsClearTheirDefaultFlags)
{
    Parsed p(u"-width=320 -height=200 -posx=12 -posy=-7");
    EXPECT_EQ(320, p.data.width);
    EXPECT_EQ(200, p.data.height);
    EXPECT_EQ(12, p.data.posX);
    EXPECT_EQ(-7, p.data.posY);
    EXPECT_EQ(0, p.data.defaultSize);
    EXPECT_EQ(0, p.data.defaultPosition);
    EXPECT_TRUE(p.Saved().empty());
}

TEST(ShellOptionParser, WidthAloneKeepsTheDefaultPosition)
{
    Parsed p(u"-width=320");
    EXPECT_EQ(320, p.data.width);
    EXPECT_EQ(480, p.data.height);
    EXPECT_EQ(0, p.data.defaultSize);
    EXPECT_EQ(1, p.data.defaultPosition);
}

TEST(ShellOptionParser, ZeroOrNonNumericValuesAreConsumedButIgnored)
{
    Parsed p(u"-posx=0 -posy=abc -width=0 -height=x -FSAAMode=0");
    EXPECT_EQ(0, p.data.posX);
    EXPECT_EQ(0, p.data.posY);
    EXPECT_EQ(1, p.data.defaultPosition);
    EXPECT_EQ(640, p.data.width);
    EXPECT_EQ(480, p.data.height);
    EXPECT_EQ(1, p.data.defaultSize);
    EXPECT_EQ(0, p.data.fsaaMode);
    EXPECT_TRUE(p.Saved().empty());
}

TEST(ShellOptionParser, NumbersStopAtTheFirstNonDigit)
{
    Parsed p(u"-width=320x240 -height=+200 -FSAAMode=2samples");
    EXPECT_EQ(320, p.data.width);
    EXPECT_EQ(200, p.data.height);
    EXPECT_EQ(2, p.data.fsaaMode);
}

TEST(ShellOptionParser, NumbersAllowLeadingSpacesWhenHandedOneToken)
{
    TrellisApp app;
    ShellOptionParser parser(&app);
    EXPECT_TRUE(parser.HandleOption("-width=  \t-64"));
    EXPECT_EQ(-64, app.GetShellData()->width);
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

TEST(ShellOptionParser, SizesAndPositionsAreHeldWithinAMillionPixels)
{
    Parsed p(u"-width=99999999999999999999 -height=-2147483648 -posx=2147483647 -posy=-1048577");
    EXPECT_EQ(1 << 20, p.data.width);
    EXPECT_EQ(-(1 << 20), p.data.height);
    EXPECT_EQ(1 << 20, p.data.posX);
    EXPECT_EQ(-(1 << 20), p.data.posY);
    EXPECT_EQ(0, p.data.defaultSize);
    EXPECT_EQ(0, p.data.defaultPosition);
    EXPECT_EQ(1048575, Parsed(u"-width=1048575").data.width);
}

TEST(ShellOptionParser, FsaaModeTakesAnyNonZeroNumber)
{
    EXPECT_EQ(1, Parsed(u"-FSAAMode=1").data.fsaaMode);
    EXPECT_EQ(7, Parsed(u"-FSAAMode=7").data.fsaaMode);
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
    EXPECT_EQ(0, Parsed(u"-qaf=0").data.quitAfterFrame);
    EXPECT_EQ(0, Parsed(u"-quitafterframe=0").data.quitAfterFrame);
    EXPECT_EQ(2, Parsed(u"-qaf=2").data.quitAfterFrame);
    EXPECT_EQ(100, Parsed(u"-quitafterframe=100").data.quitAfterFrame);
    EXPECT_EQ(-1, Parsed(u"-qaf=abc").data.quitAfterFrame);
    EXPECT_EQ(-1, Parsed(u"-qaf=").data.quitAfterFrame);
    EXPECT_EQ(-5, Parsed(u"-qaf=5 -qaf=-5").data.quitAfterFrame);
    EXPECT_EQ(0, Parsed(u"-qaf=0x10").data.quitAfterFrame);
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
    // Beyond the float range the limit becomes infinite rather than undefined.
    EXPECT_EQ(HUGE_VALF, Parsed(u"-qat=1e300").data.quitAfterTime);
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
    EXPECT_FALSE(parser.HandleOption(""));
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

TEST(OptionParser, KeepsOnlyTheLowEightBitsOfEachCharacter)
{
    // U+0141 -> 0x41 'A', U+00E9 stays 0xE9, U+2062 -> 0x62 'b'.
    EXPECT_EQ((Tokens{"A\xE9" "b"}), Parsed(u"\u0141\u00E9\u2062").Saved());
    // U+0120 narrows to a space inside the token; it is no separator.
    EXPECT_EQ((Tokens{"x y"}), Parsed(u"x\u0120y").Saved());
}

TEST(OptionParser, KeepsAtMostAHundredTokensButStillHandlesOptionsAfterThem)
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
    EXPECT_EQ(9, p.data.quitAfterFrame);
}

TEST(OptionParser, ANullCommandLineGivesNoTokens)
{
    Parsed p(nullptr);
    EXPECT_EQ(0, p.parser.GetArgCount());
}

} // namespace
