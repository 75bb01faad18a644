#include "scene/Font.h"

#include "file/File.h"
#include "formats/FontDescriptor.h"
#include "render/Renderer.h"
#include "render/Texture.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

std::list<Font*> Font::m_FontList;

Font::Font()
{
    m_FontList.push_back(this);
}

Font::~Font()
{
    m_FontList.remove(this);
    Clear();
}

void Font::Clear()
{
    m_sName.clear();
    m_bLoaded = false;
    m_iHeight = 0;
    m_iScale = 1;
    m_iSpaceWidth = 0;
    m_glyphs.clear();
    m_pGlyphTable.fill(nullptr);
    if (m_pTexture)
        m_pTexture->Release();
    m_pTexture = nullptr;
}

Font* Font::Load(const char* path)
{
    if (!path)
        return nullptr;
    for (Font* font : m_FontList)
    {
        const char* name = font->GetName();
        if (name && std::strcmp(name, path) == 0)
        {
            font->AddRef();
            return font;
        }
    }
    Font* font = new Font();
    if (!font->DoLoad(path))
    {
        font->Release();
        return nullptr;
    }
    return font;
}

std::string Font::PagePath(const char* descriptorPath, const std::string& pageName)
{
    const char* separator = std::strrchr(descriptorPath, '/');
    if (!separator)
        separator = std::strrchr(descriptorPath, '\\');
    if (!separator)
        return pageName;
    return std::string(descriptorPath, static_cast<size_t>(separator - descriptorPath + 1)) +
           pageName;
}

std::string Font::ScaledPath(const char* descriptorPath, int artScale)
{
    std::string path = descriptorPath;
    if (artScale <= 1)
        return path;
    const size_t dot = path.rfind('.');
    const size_t slash = path.find_last_of("/\\");
    const size_t end =
        dot == std::string::npos || (slash != std::string::npos && dot < slash) ? path.size() : dot;
    return path.substr(0, end) + "@" + std::to_string(artScale) + "x" + path.substr(end);
}

bool Font::DoLoad(const char* path)
{
    Clear();
    if (!path)
        return false;
    // The renderer's art set first, then the smaller ones down to 1x.
    const Renderer* renderer = Renderer::GetInstance();
    const int artScale = renderer ? renderer->GetArtScale() : 1;
    bool loaded = false;
    for (int scale = artScale; scale > 1 && !loaded; scale /= 2)
        loaded = LoadFrom(ScaledPath(path, scale), scale);
    if (!loaded && !LoadFrom(path, 1))
        return false;
    m_sName = path;
    m_iArtScaleAsked = artScale;
    ++m_iGeneration;
    return true;
}

void Font::FollowArtScale()
{
    const Renderer* renderer = Renderer::GetInstance();
    const int artScale = renderer ? renderer->GetArtScale() : 1;
    if (!m_bLoaded || artScale == m_iArtScaleAsked)
        return;
    m_iArtScaleAsked = artScale; // tried once per change, whatever the outcome
    Font* fresh = new Font();
    if (fresh->DoLoad(m_sName.c_str()) && fresh->m_iScale != m_iScale)
    {
        SwapLoaded(*fresh);
        ++m_iGeneration;
    }
    fresh->Release();
}

void Font::SwapLoaded(Font& other)
{
    // Swapped vectors keep their elements where they are, so the glyph tables stay valid.
    std::swap(m_iHeight, other.m_iHeight);
    std::swap(m_iScale, other.m_iScale);
    std::swap(m_iSpaceWidth, other.m_iSpaceWidth);
    std::swap(m_glyphs, other.m_glyphs);
    std::swap(m_pGlyphTable, other.m_pGlyphTable);
    std::swap(m_pTexture, other.m_pTexture);
}

bool Font::LoadFrom(const std::string& descriptorPath, int scale)
{
    Clear();
    const char* path = descriptorPath.c_str();
    // The whole descriptor is read first, so no block can reach past the file.
    std::unique_ptr<File> file(File::Open(path, true));
    if (!file)
        return false;
    const unsigned int length = file->Length();
    if (length > c_iMaxDescriptorBytes)
        return false;
    std::vector<uint8_t> bytes(length);
    if (length > 0 && !file->Read(bytes.data(), static_cast<int>(length)))
        return false;
    file.reset();

    FontDescriptor descriptor;
    if (descriptor.Parse(bytes.data(), bytes.size()) != FontDescriptor::Status::Ok)
        return false;

    Renderer* renderer = Renderer::GetInstance();
    Texture* texture = renderer
                           ? renderer->LoadTexture(PagePath(path, descriptor.GetPageName()).c_str())
                           : nullptr;
    if (!texture)
        return false;

    m_pTexture = texture;
    m_iScale = scale;
    m_iHeight = descriptor.GetHeight();
    m_iSpaceWidth = descriptor.GetSpaceWidth();
    m_glyphs = std::move(descriptor.GetGlyphs());
    for (int code = 0; code < FontDescriptor::c_iGlyphCodes; ++code)
    {
        const int index = descriptor.GetGlyphIndex(code);
        m_pGlyphTable[static_cast<size_t>(code)] =
            index >= 0 ? &m_glyphs[static_cast<size_t>(index)] : nullptr;
    }
    m_bLoaded = true;
    return true;
}

FontCharacter* Font::GetCharacter(unsigned short code)
{
    return code < m_pGlyphTable.size() ? m_pGlyphTable[code] : nullptr;
}
