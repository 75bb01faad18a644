// The drifting decals: placements that keep clear of each other, the waiting
// decals that retry, the fade over a life, the eight image rectangles, real
// frames of them, and a missing texture.
#include "scene/Node_Decals.h"
#include "scene/Node_SpriteBatch.h"

#include "SceneContentFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <vector>

using zindle_test::SceneContentTest;

namespace
{
// Texture size of the test's decal sheet.
constexpr int c_iSheetW = 256;
constexpr int c_iSheetH = 128;

// Green of image i on the sheet; red is 255 and blue 100 for every image.
int ImageGreen(int i)
{
    return 20 + 25 * i;
}

class DecalsTest : public SceneContentTest
{
  protected:
    void TearDown() override
    {
        for (Node_Decals* decals : m_made)
            decals->Release();
    }

    // The eight rectangles filled with their colours; transparent elsewhere.
    void WriteSheet()
    {
        std::vector<uint8_t> rgba(static_cast<size_t>(c_iSheetW) * c_iSheetH * 4, 0);
        for (int i = 0; i < Node_Decals::c_iImageCount; ++i)
        {
            const Node_Decals::Image& image = Node_Decals::c_Images[i];
            for (int y = static_cast<int>(image.first.y); y < image.opposite.y; ++y)
            {
                for (int x = static_cast<int>(image.first.x); x < image.opposite.x; ++x)
                {
                    uint8_t* p = &rgba[(static_cast<size_t>(y) * c_iSheetW + x) * 4];
                    p[0] = 255;
                    p[1] = static_cast<uint8_t>(ImageGreen(i));
                    p[2] = 100;
                    p[3] = 255;
                }
            }
        }
        zindle_test::WritePNG(m_dir / "decals.png", c_iSheetW, c_iSheetH, 6, rgba);
    }

    Node_Decals& Make(unsigned seed)
    {
        std::srand(seed);
        m_made.push_back(new Node_Decals());
        return *m_made.back();
    }

    static const Node_SpriteBatch::SpriteInfo& Sprite(const Node_Decals& decals, int k)
    {
        return *decals.GetBatch()->GetSprite(k);
    }

    // The image a decal shows, from its texture rectangle; -1 if none matches.
    static int ImageOf(const Node_Decals& decals, int k)
    {
        const Node_SpriteBatch::SpriteInfo& sprite = Sprite(decals, k);
        for (int i = 0; i < Node_Decals::c_iImageCount; ++i)
        {
            const Node_Decals::Image& image = Node_Decals::c_Images[i];
            if (std::fabs(sprite.uvMin.x * c_iSheetW - image.first.x) < 1e-3f &&
                std::fabs(sprite.uvMin.y * c_iSheetH - image.first.y) < 1e-3f &&
                std::fabs(sprite.uvMax.x * c_iSheetW - image.opposite.x) < 1e-3f &&
                std::fabs(sprite.uvMax.y * c_iSheetH - image.opposite.y) < 1e-3f)
                return i;
        }
        return -1;
    }

    // Checks that every decal is either alive and shown or waiting and hidden,
    // and that no two shown decals are crowded.
    static void ExpectClearOfEachOther(const Node_Decals& decals)
    {
        for (int k = 0; k < Node_Decals::c_iDecalCount; ++k)
        {
            SCOPED_TRACE(testing::Message() << "decal " << k);
            const Node_Decals::Decal& decal = decals.GetDecal(k);
            const bool shown = decals.GetBatch()->GetVisible(k);
            if (!shown)
            {
                EXPECT_EQ(decal.age, 1.0f);
                continue;
            }
            EXPECT_GE(decal.age, 0.0f);
            EXPECT_LT(decal.age, 1.0f);
            EXPECT_GE(decal.position.x, 0.0f);
            EXPECT_LT(decal.position.x, 480.0f);
            EXPECT_GE(decal.position.y, 0.0f);
            EXPECT_LT(decal.position.y, 320.0f);
            // Placed on whole points.
            EXPECT_EQ(Sprite(decals, k).position.x, std::trunc(decal.position.x));
            for (int i = 0; i < k; ++i)
            {
                if (!decals.GetBatch()->GetVisible(i))
                    continue;
                const Node_Decals::Decal& other = decals.GetDecal(i);
                // 1 / d^2 < 0.0008 for every pair: d > 35.36 points.
                EXPECT_GT(std::hypot(decal.position.x - other.position.x,
                                     decal.position.y - other.position.y),
                          35.35f)
                    << "and decal " << i;
            }
        }
    }

    std::vector<Node_Decals*> m_made;
};
} // namespace

TEST_F(DecalsTest, FirstPlacementsCountOnlyDecalsAlreadyPlaced)
{
    WriteSheet();
    int hidden = 0;
    // Many layouts: some put early decals near the corner where records not
    // yet placed would sit if they counted.
    for (unsigned seed = 1; seed <= 40; ++seed)
    {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        Node_Decals& decals = Make(seed);
        ASSERT_NE(decals.GetBatch(), nullptr);
        for (int k = 0; k < Node_Decals::c_iDecalCount; ++k)
        {
            SCOPED_TRACE(testing::Message() << "decal " << k);
            const Node_Decals::Decal& decal = decals.GetDecal(k);
            float crowding = 0.0f;
            for (int i = 0; i < k; ++i)
            {
                if (!decals.GetBatch()->GetVisible(i))
                    continue;
                const float dx = decal.position.x - decals.GetDecal(i).position.x;
                const float dy = decal.position.y - decals.GetDecal(i).position.y;
                crowding += 1.0f / (dx * dx + dy * dy);
            }
            ASSERT_EQ(decals.GetBatch()->GetVisible(k), crowding < 0.0008f) << crowding;
            if (!decals.GetBatch()->GetVisible(k))
            {
                // Waiting, with no life drawn yet: the next frame retries it.
                ++hidden;
                EXPECT_EQ(decal.age, 1.0f);
                EXPECT_EQ(decal.rate, 0.0f);
            }
            else
            {
                // Started at a random point of its life, an 8-bit fraction.
                EXPECT_EQ(decal.age * 256.0f, std::floor(decal.age * 256.0f));
                EXPECT_GE(decal.rate, 0.1f);
                EXPECT_LT(decal.rate, 0.3f);
            }
        }
        ExpectClearOfEachOther(decals);
    }
    EXPECT_GT(hidden, 0);

    Node_Decals& decals = Make(4);
    // The same seed gives the same layout.
    Node_Decals& again = Make(4);
    for (int k = 0; k < Node_Decals::c_iDecalCount; ++k)
    {
        EXPECT_EQ(again.GetDecal(k).position.x, decals.GetDecal(k).position.x);
        EXPECT_EQ(again.GetDecal(k).age, decals.GetDecal(k).age);
    }

    // Every waiting decal tries a new spot at the next frame.
    std::vector<Vector2f> before;
    for (int k = 0; k < Node_Decals::c_iDecalCount; ++k)
        before.push_back(decals.GetDecal(k).position);
    std::vector<bool> wasHidden;
    for (int k = 0; k < Node_Decals::c_iDecalCount; ++k)
        wasHidden.push_back(!decals.GetBatch()->GetVisible(k));
    decals.Update(0.05f);
    for (int k = 0; k < Node_Decals::c_iDecalCount; ++k)
    {
        if (!wasHidden[k])
            continue;
        SCOPED_TRACE(k);
        const Vector2f& now = decals.GetDecal(k).position;
        EXPECT_TRUE(now.x != before[k].x || now.y != before[k].y);
    }
    ExpectClearOfEachOther(decals);
}

TEST_F(DecalsTest, DecalsStayClearOfEachOtherOverManyLives)
{
    WriteSheet();
    Node_Decals& decals = Make(11);
    int retriesThatLanded = 0;
    int placements = 0;
    std::set<int> images;
    std::vector<bool> hidden(Node_Decals::c_iDecalCount);
    std::vector<float> ages(Node_Decals::c_iDecalCount);
    // 100 s: every decal lives and dies several times.
    for (int frame = 0; frame < 2000; ++frame)
    {
        for (int k = 0; k < Node_Decals::c_iDecalCount; ++k)
        {
            hidden[k] = !decals.GetBatch()->GetVisible(k);
            ages[k] = decals.GetDecal(k).age;
        }
        decals.Update(0.05f);
        ExpectClearOfEachOther(decals);
        for (int k = 0; k < Node_Decals::c_iDecalCount; ++k)
        {
            const bool shown = decals.GetBatch()->GetVisible(k);
            if (shown && decals.GetDecal(k).age < ages[k])
            {
                ++placements;
                EXPECT_EQ(decals.GetDecal(k).age, 0.0f);
                const int image = ImageOf(decals, k);
                EXPECT_GE(image, 0);
                images.insert(image);
                retriesThatLanded += hidden[k];
            }
        }
        if (HasFailure())
            FAIL() << "at frame " << frame;
    }
    EXPECT_GT(placements, 100);
    EXPECT_GT(retriesThatLanded, 0);
    EXPECT_EQ(images.size(), 8u);
}

TEST_F(DecalsTest, BrightnessFadesInHoldsAndFadesOut)
{
    WriteSheet();
    Node_Decals& decals = Make(21);
    int k = -1;
    for (int i = 0; i < Node_Decals::c_iDecalCount && k < 0; ++i)
    {
        if (decals.GetBatch()->GetVisible(i) && decals.GetDecal(i).age < 0.15f)
            k = i;
    }
    ASSERT_GE(k, 0) << "this seed starts no decal early in its life: pick another";
    const float rate = decals.GetDecal(k).rate;
    const auto advanceTo = [&](float age)
    {
        decals.Update((age - decals.GetDecal(k).age) / rate);
        ASSERT_NEAR(decals.GetDecal(k).age, age, 1e-5f);
        ASSERT_TRUE(decals.GetBatch()->GetVisible(k));
    };
    // Red, green, blue and alpha all carry the brightness: 70 % at its peak.
    const auto bytes = [&] { return Sprite(decals, k).colour; };
    advanceTo(0.15f);
    EXPECT_EQ(bytes(), 0x59595959u); // (int)(0.5 x 0.7 x 255) = 89
    advanceTo(0.3f);
    EXPECT_GE(bytes() & 255, 177u);
    advanceTo(0.5f);
    EXPECT_EQ(bytes(), 0xB2B2B2B2u); // 178
    DrawFrame(&decals);
    const Vector2f& at = decals.GetDecal(k).position;
    const zindle_test::Pixel centre =
        m_gl.LandscapePixel(static_cast<int>(at.x), static_cast<int>(at.y));
    // The sheet's colour scaled by 178 / 255 over the black background.
    EXPECT_NEAR(centre.r, 178, 2);
    EXPECT_NEAR(centre.g, ImageGreen(ImageOf(decals, k)) * 178 / 255, 2);
    EXPECT_NEAR(centre.b, 100 * 178 / 255, 2);
    advanceTo(0.85f);
    EXPECT_EQ(bytes(), 0x59595959u);
    advanceTo(0.99f);
    EXPECT_LE(bytes() & 255, 6u);
    // The end of a life: gone, and tried elsewhere.
    decals.Update(0.02f / rate);
    const float age = decals.GetDecal(k).age;
    EXPECT_TRUE(age == 0.0f || age == 1.0f) << age;
    EXPECT_EQ(bytes() & 255, 0u);
}

TEST_F(DecalsTest, FrameShowsEachDecalCentredOnItsSpot)
{
    WriteSheet();
    Node_Decals& decals = Make(8);
    decals.Update(0.05f);
    DrawFrame(&decals);
    const std::vector<uint8_t> frame = m_gl.ReadLandscape();
    const auto at = [&](int x, int y)
    {
        const size_t i = (static_cast<size_t>(y) * 480 + x) * 4;
        return std::array<int, 3>{frame[i], frame[i + 1], frame[i + 2]};
    };
    int checked = 0;
    for (int k = 0; k < Node_Decals::c_iDecalCount; ++k)
    {
        if (!decals.GetBatch()->GetVisible(k))
            continue;
        SCOPED_TRACE(testing::Message() << "decal " << k);
        const int image = ImageOf(decals, k);
        ASSERT_GE(image, 0);
        const unsigned v = Sprite(decals, k).colour & 255;
        if (v < 40)
            continue; // too faint to tell colours apart
        const int x = static_cast<int>(decals.GetDecal(k).position.x);
        const int y = static_cast<int>(decals.GetDecal(k).position.y);
        const auto centre = at(x, y);
        EXPECT_NEAR(centre[0], static_cast<int>(255 * v / 255), 2);
        EXPECT_NEAR(centre[1], static_cast<int>(ImageGreen(image) * v / 255), 2);
        ++checked;
        // Centred: the image reaches half its size to each side (where no
        // neighbour's image could reach).
        bool alone = true;
        for (int i = 0; i < Node_Decals::c_iDecalCount; ++i)
        {
            const Vector2f& other = decals.GetDecal(i).position;
            if (i != k && decals.GetBatch()->GetVisible(i) &&
                std::hypot(other.x - x, other.y - y) < 90.0f)
                alone = false;
        }
        if (!alone)
            continue;
        const Node_Decals::Image& rect = Node_Decals::c_Images[image];
        const int half = static_cast<int>((rect.opposite.x - rect.first.x) / 2.0f);
        if (x - half - 2 >= 0)
        {
            EXPECT_EQ(at(x - half - 2, y)[2], 0);
        }
        if (x - half + 2 >= 0)
        {
            EXPECT_GT(at(x - half + 2, y)[2], 0);
        }
        if (x + half + 2 < 480)
        {
            EXPECT_EQ(at(x + half + 2, y)[2], 0);
        }
    }
    EXPECT_GE(checked, 5);
}

TEST_F(DecalsTest, MissingOrBrokenSheetLeavesTheBatchOut)
{
    for (bool broken : {false, true})
    {
        SCOPED_TRACE(broken ? "broken sheet" : "no sheet");
        if (broken)
            zindle_test::WriteFile(m_dir / "decals.png", "not an image");
        Node_Decals& decals = Make(1);
        EXPECT_EQ(decals.GetBatch(), nullptr);
        EXPECT_EQ(decals.GetChildren(), nullptr);
        for (int frame = 0; frame < 100; ++frame)
            decals.Update(0.05f);
        decals.Reposition(3);
        DrawFrame(&decals, 0x00102030);
        const zindle_test::Pixel p = m_gl.LandscapePixel(240, 160);
        EXPECT_EQ(p.r, 0x10);
        EXPECT_EQ(p.b, 0x30);
    }
}
