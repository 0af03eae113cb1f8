// Whole frames against reviewed reference pictures (made with kestrel-capture
// -windowed -width=320 -height=240, frames 0 and 150).
//
// Tolerance: a pixel counts as different when a channel is off by more than 8
// (of 255); at most 0.5 % of the pixels may differ. That absorbs rounding
// differences between Mesa versions in texture filtering and the combiner,
// while a wrong turn, light, culling or text placement changes far more.
#include <gtest/gtest.h>

#include "KestrelHarness.h"
#include "ReferenceImage.h"

using namespace trellis;

namespace {

constexpr int kSlack = 8;
constexpr double kMostDifferingFraction = 0.005;

const std::string kReferenceDir = KESTREL_REFERENCE_DIR;

class KestrelReference : public KestrelTest {
protected:
    void SetUp() override
    {
        KestrelTest::SetUp();
        Probe().keepFrames = {0, 150};
        const KestrelRun run = RunKestrel(u"-windowed -width=320 -height=240 -qaf=150");
        Probe().keepFrames.clear();
        ASSERT_EQ(0, run.exitCode) << run.errors;
        ASSERT_EQ(2u, Probe().keptPixels.size());
        frame0 = FromReadback(Probe().width, Probe().height, Probe().keptPixels[0]);
        frame150 = FromReadback(Probe().width, Probe().height, Probe().keptPixels[1]);
    }

    RgbImage frame0;
    RgbImage frame150;
    const RgbImage reference150 = ReadPng(kReferenceDir + "/kestrel_frame150.png");
};

TEST_F(KestrelReference, FreshFramesMatchTheReviewedPictures)
{
    const RgbImage reference0 = ReadPng(kReferenceDir + "/kestrel_frame000.png");
    ASSERT_EQ(320, reference0.width);
    ASSERT_EQ(240, reference0.height);
    for (const auto& [fresh, reference] : {std::pair{&frame0, &reference0}, std::pair{&frame150, &reference150}}) {
        const ImageDifference difference = Compare(*fresh, *reference, kSlack);
        EXPECT_LE(difference.fractionBeyondSlack, kMostDifferingFraction) << "largest difference " << difference.largest;
    }
}

TEST_F(KestrelReference, TheToleranceTellsFramesOfTheTurnApart)
{
    EXPECT_GT(Compare(frame0, reference150, kSlack).fractionBeyondSlack, 10 * kMostDifferingFraction);
}

} // namespace
