// The fixed-function state a drawable hands to the renderer before drawing:
// one texture, a blend mode, depth write and test, wrap modes, filters and
// colour masks.
#pragma once

#include "core/RefCounted.h"

class Texture;

class Material : public RefCounted
{
  public:
    // Blend modes.
    static constexpr char c_iBlendOpaque = 0;
    static constexpr char c_iBlendAlpha = 1;
    static constexpr char c_iBlendPremultiplied = 2; // chosen for textures with alpha
    static constexpr char c_iBlendAdd = 3;
    static constexpr char c_iBlendAddBySourceAlpha = 4;
    static constexpr char c_iBlendMultiply = 5;
    static constexpr char c_iBlendDestinationAlpha = 6;
    static constexpr char c_iBlendInverseDestinationAlpha = 7;

    ~Material() override;

    // A new material with the defaults, count 1, owned by the caller.
    static Material* Create();
    // Textured from path; premultiplied blending when the texture has alpha.
    // Untextured when the texture cannot be loaded.
    static Material* Create(const char* path);

    // Only slot 0 exists. Leaves the material unchanged when the path gives no texture.
    void SetTexture(int slot, const char* path);
    // Slot 0 only; null clears it.
    void SetTexture(int slot, Texture* texture);
    Texture* GetTexture(int slot) const { return slot == 0 ? m_pTexture : nullptr; }

    void SetBlendMode(char mode) { m_iBlendMode = mode; }
    char GetBlendMode() const { return m_iBlendMode; }
    void SetZWrite(bool write) { m_bZWrite = write; }
    bool GetZWrite() const { return m_bZWrite; }
    void SetZTest(bool test) { m_bZTest = test; }
    bool GetZTest() const { return m_bZTest; }
    // 0 nearest, anything else linear.
    void SetFilter(char min, char mag)
    {
        m_iMinFilter = min;
        m_iMagFilter = mag;
    }
    char GetMinFilter() const { return m_iMinFilter; }
    char GetMagFilter() const { return m_iMagFilter; }
    // 0 clamp to edge, anything else repeat.
    void SetTextureMode(char u, char v)
    {
        m_iTextureModeU = u;
        m_iTextureModeV = v;
    }
    char GetTextureModeU() const { return m_iTextureModeU; }
    char GetTextureModeV() const { return m_iTextureModeV; }
    void SetColorMask(bool colour, bool alpha)
    {
        m_bColorMask = colour;
        m_bAlphaMask = alpha;
    }
    bool GetColorMask() const { return m_bColorMask; }
    bool GetAlphaMask() const { return m_bAlphaMask; }
    void SetOptions(char blend, bool zWrite, bool zTest)
    {
        m_iBlendMode = blend;
        m_bZWrite = zWrite;
        m_bZTest = zTest;
    }

  protected:
    Material() = default;

  private:
    signed char m_iBlendMode = c_iBlendOpaque;
    bool m_bZWrite = true;
    bool m_bZTest = true;
    char m_iTextureModeU = 0;
    char m_iTextureModeV = 0;
    char m_iMinFilter = 0;
    char m_iMagFilter = 0;
    Texture* m_pTexture = nullptr;
    bool m_bColorMask = true;
    bool m_bAlphaMask = false;
};
