// The texture cache and the materials that hold textures: one texture per
// path while anyone holds it, the texture a material keeps, and the loader
// chosen by the name.
#include "RenderTestSupport.h"

#include "render/Texture.h"

using namespace zindle_test;

TEST_F(RenderTest, CacheSharesOneTexturePerPathAndMaterialsKeepTheirsUntilReplaced)
{
    WriteSolidPNG(m_dir / "lava.png", 8, 8, 10, 20, 30);
    Material* first = Material::Create("data/lava.png");
    Material* second = Material::Create("data/lava.png");
    ASSERT_NE(first->GetTexture(0), nullptr);
    EXPECT_TRUE(first->GetTexture(0) == second->GetTexture(0) && TextureCount() == 1);
    EXPECT_TRUE(Near(At(DrawQuad(second), 240, 160), 10, 20, 30, 1));
    first->Release();
    EXPECT_EQ(TextureCount(), 1);
    second->Release();
    // Loaded again after the last release, the file is read afresh: none is kept.
    std::filesystem::remove(m_dir / "lava.png");
    EXPECT_EQ(m_gl.GetRenderer().LoadTexture("data/lava.png"), nullptr);

    // A material keeps its texture until another loads.
    WriteSolidPNG(m_dir / "a.png", 2, 2, 255, 0, 0);
    WriteSolidPNG(m_dir / "b.png", 2, 2, 0, 0, 255);
    Material* material = Material::Create("a.png");
    ASSERT_NE(material->GetTexture(0), nullptr);
    material->SetTexture(0, "missing.png"); // leaves the material as it was
    EXPECT_TRUE(Near(At(DrawQuad(material), 240, 160), 255, 0, 0));
    material->SetTexture(0, "b.png"); // a goes with its last reference
    EXPECT_EQ(TextureCount(), 1);
    EXPECT_TRUE(Near(At(DrawQuad(material), 240, 160), 0, 0, 255));
    Texture* b = material->GetTexture(0);
    b->AddRef();
    material->SetTexture(0, static_cast<Texture*>(nullptr));
    EXPECT_EQ(b->GetRefCount(), 1);
    EXPECT_TRUE(Near(At(DrawQuad(material, 0, 480.0f, 320.0f, 0xFF00FF00), 240, 160), 0, 255, 0))
        << "untextured, the vertex colour shows";
    material->SetTexture(0, b);
    EXPECT_EQ(b->GetRefCount(), 2);
    b->Release();
    material->Release();
    EXPECT_EQ(TextureCount(), 0);

    // A PVR anywhere in the name goes to the PVR loader, which refuses a PNG.
    WriteSolidPNG(m_dir / "x.pvr.png", 4, 4, 1, 2, 3);
    Material* untextured = Material::Create("x.pvr.png");
    EXPECT_TRUE(!untextured->GetTexture(0) &&
                untextured->GetBlendMode() == Material::c_iBlendOpaque);
    untextured->Release();
}
