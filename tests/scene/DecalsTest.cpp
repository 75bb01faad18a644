// The drifting decals: placements clear of each other, waiting decals that
// retry, the fade over a life, all eight images in real frames, a missing sheet.
#include "SceneFixture.h"

#include "scene/Node_Decals.h"
#include "scene/Node_SpriteBatch.h"

#include <cmath>
#include <cstdlib>
#include <set>

using namespace zindle_test;
using Decals = Node_Decals;

namespace
{
// On the test's sheet, where red is 255 and blue 100 for every image.
const auto Green = [](int image) { return 20 + 25 * image; };

class DecalsTest : public SceneTest
{
  protected:
    // A 256 x 128 sheet: the eight rectangles filled with their colours, clear elsewhere.
    Decals& Make(unsigned seed, bool sheet = true)
    {
        std::vector<uint8_t> rgba(256 * 128 * 4, 0);
        for (int i = 0; i < Decals::c_iImageCount; ++i)
            for (int y = int(Decals::c_Images[i].first.y); y < Decals::c_Images[i].opposite.y; ++y)
                for (int x = int(Decals::c_Images[i].first.x); x < Decals::c_Images[i].opposite.x;
                     ++x)
                    for (int c = 0; c < 4; ++c)
                        rgba[(size_t(y) * 256 + x) * 4 + c] =
                            uint8_t(std::array{255, Green(i), 100, 255}[c]);
        if (sheet)
            WritePNG(m_dir / "decals.png", 256, 128, 6, rgba);
        std::srand(seed);
        return *Own(new Decals());
    }
    static bool Shown(const Decals& decals, int k) { return decals.GetBatch()->GetVisible(k); }
    static unsigned Colour(const Decals& d, int k) { return d.GetBatch()->GetSprite(k)->colour; }
    // The image a decal shows, from its texture rectangle; -1 when none matches.
    static int ImageOf(const Decals& decals, int k)
    {
        const Node_SpriteBatch::SpriteInfo& s = *decals.GetBatch()->GetSprite(k);
        for (int i = 0; i < Decals::c_iImageCount; ++i)
            if (std::fabs(s.uvMin.x * 256 - Decals::c_Images[i].first.x) < 1e-3f &&
                std::fabs(s.uvMin.y * 128 - Decals::c_Images[i].first.y) < 1e-3f &&
                std::fabs(s.uvMax.x * 256 - Decals::c_Images[i].opposite.x) < 1e-3f)
                return i;
        return -1;
    }
    // The squared distance between decals k and i.
    static double Apart2(const Decals& decals, int k, int i)
    {
        const Vector2f &a = decals.GetDecal(k).position, &b = decals.GetDecal(i).position;
        return std::pow(a.x - b.x, 2) + std::pow(a.y - b.y, 2);
    }
    // Each decal is shown on a whole point in its life, uncrowded, or hidden and waiting.
    static void ExpectClearOfEachOther(const Decals& decals)
    {
        for (int k = 0; k < Decals::c_iDecalCount; ++k)
        {
            const Decals::Decal& d = decals.GetDecal(k);
            EXPECT_TRUE(Shown(decals, k) ? d.age >= 0.0f && d.age < 1.0f : d.age == 1.0f) << k;
            if (!Shown(decals, k))
                continue;
            EXPECT_TRUE(d.position.x >= 0 && d.position.x < 480 && d.position.y >= 0 &&
                        d.position.y < 320);
            EXPECT_EQ(decals.GetBatch()->GetSprite(k)->position.x, std::trunc(d.position.x)) << k;
            for (int i = 0; i < k; ++i) // 1 / d^2 < 0.0008 for every pair: d^2 > 1250
                EXPECT_TRUE(!Shown(decals, i) || Apart2(decals, k, i) > 1249.6) << k << ',' << i;
        }
    }
};
} // namespace

TEST_F(DecalsTest, PlacementsCountOnlyDecalsAlreadyPlacedAndWaitingOnesRetry)
{
    int waiting = 0;
    for (unsigned seed = 1; seed <= 40; ++seed)
    {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        const Decals& decals = Make(seed);
        ASSERT_NE(decals.GetBatch(), nullptr);
        for (int k = 0; k < Decals::c_iDecalCount; ++k)
        {
            float crowding = 0.0f;
            for (int i = 0; i < k; ++i)
                crowding += Shown(decals, i) ? 1.0f / float(Apart2(decals, k, i)) : 0.0f;
            ASSERT_EQ(Shown(decals, k), crowding < Decals::c_rCrowdingLimit) << k;
            waiting += !Shown(decals, k);
        }
        ExpectClearOfEachOther(decals);
    }
    EXPECT_GT(waiting, 0);

    // Over 100 s new lives begin at age 0 with each image; waiting decals retry every frame.
    Decals& decals = Make(11);
    int placements = 0, retriesThatLanded = 0;
    std::set<int> images;
    for (int frame = 0; frame < 2000 && !HasFailure(); ++frame)
    {
        std::vector<std::pair<bool, Decals::Decal>> before;
        for (int k = 0; k < Decals::c_iDecalCount; ++k)
            before.push_back({Shown(decals, k), decals.GetDecal(k)});
        decals.Update(0.05f);
        SCOPED_TRACE(frame);
        ExpectClearOfEachOther(decals);
        for (int k = 0; k < Decals::c_iDecalCount; ++k)
        {
            const auto& [shown, was] = before[k];
            const Vector2f& now = decals.GetDecal(k).position;
            EXPECT_TRUE(shown || now.x != was.position.x || now.y != was.position.y) << k;
            if (!Shown(decals, k) || decals.GetDecal(k).age >= was.age)
                continue;
            ++placements;
            EXPECT_EQ(decals.GetDecal(k).age, 0.0f);
            images.insert(ImageOf(decals, k));
            retriesThatLanded += !shown;
        }
    }
    EXPECT_GT(placements, 100);
    EXPECT_GT(retriesThatLanded, 0);
    EXPECT_EQ(images, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7}));
}

TEST_F(DecalsTest, BrightnessFadesInHoldsAndFadesOutInRealFrames)
{
    Decals& decals = Make(21);
    int k = 0;
    while (k < Decals::c_iDecalCount && !(Shown(decals, k) && decals.GetDecal(k).age < 0.15f))
        ++k;
    ASSERT_LT(k, Decals::c_iDecalCount) << "this seed starts no decal early in its life";
    const float rate = decals.GetDecal(k).rate;
    const auto at = [&](float age)
    {
        decals.Update((age - decals.GetDecal(k).age) / rate);
        EXPECT_NEAR(decals.GetDecal(k).age, age, 1e-5f);
        EXPECT_TRUE(Shown(decals, k));
        return Colour(decals, k); // red, green, blue and alpha all carry it
    };
    EXPECT_EQ(at(0.15f), 0x59595959u); // 0.5 x 0.7 x 255 = 89
    EXPECT_GE(at(0.3f) & 255, 177u);
    EXPECT_EQ(at(0.5f), 0xB2B2B2B2u); // 70 % at the peak: 178
    EXPECT_EQ(at(0.85f), 0x59595959u);
    EXPECT_LE(at(0.99f) & 255, 6u);
    decals.Update(0.02f / rate); // the end of a life: gone, and tried elsewhere
    EXPECT_TRUE(decals.GetDecal(k).age == 0.0f || decals.GetDecal(k).age == 1.0f);
    EXPECT_EQ(Colour(decals, k) & 255, 0u);
}

TEST_F(DecalsTest, FrameShowsEachDecalCentredOnItsSpot)
{
    Decals& decals = Make(8);
    decals.Update(0.05f);
    const Frame frame = Draw(&decals);
    int checked = 0;
    for (int k = 0; k < Decals::c_iDecalCount; ++k)
    {
        const int v = int(Colour(decals, k) & 255), image = ImageOf(decals, k);
        if (!Shown(decals, k) || v < 40)
            continue; // hidden, or too faint to tell colours apart
        const int x = int(decals.GetDecal(k).position.x), y = int(decals.GetDecal(k).position.y);
        // The sheet's colour scaled by the decal's brightness over the black background.
        EXPECT_TRUE(Near(frame.At(x, y), v, Green(image) * v / 255, 100 * v / 255)) << k;
        ++checked;
        // Where no neighbour's image could reach: half the image to each side.
        bool alone = true;
        for (int i = 0; i < Decals::c_iDecalCount; ++i)
            alone = alone && (i == k || !Shown(decals, i) || Apart2(decals, k, i) >= 90 * 90);
        const int half =
            int((Decals::c_Images[image].opposite.x - Decals::c_Images[image].first.x) / 2);
        EXPECT_TRUE(!alone || x - half - 2 < 0 || frame.At(x - half - 2, y).b == 0) << k;
        EXPECT_TRUE(!alone || x - half + 2 < 0 || frame.At(x - half + 2, y).b > 0) << k;
        EXPECT_TRUE(!alone || x + half + 2 >= 480 || frame.At(x + half + 2, y).b == 0) << k;
    }
    EXPECT_GE(checked, 5);
}

TEST_F(DecalsTest, MissingOrBrokenSheetLeavesTheBatchOut)
{
    for (const bool broken : {false, true})
    {
        SCOPED_TRACE(broken ? "broken sheet" : "no sheet");
        if (broken)
            WriteFile(m_dir / "decals.png", "not an image");
        Decals& decals = Make(1, false);
        EXPECT_TRUE(decals.GetBatch() == nullptr && decals.GetChildren() == nullptr);
        for (int frame = 0; frame < 100; ++frame)
            decals.Update(0.05f);
        decals.Reposition(3);
        const Pixel p = Draw(&decals, 0x102030).At(240, 160);
        EXPECT_EQ(std::tuple(p.r, p.g, p.b), std::tuple(0x10, 0x20, 0x30));
    }
}
