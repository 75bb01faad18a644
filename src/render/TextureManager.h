// The cache of live textures, keyed by the exact path they were loaded from.
// The list holds no reference: a texture unlinks itself when its last
// reference goes.
#pragma once

class Texture;

class TextureManager
{
  public:
    TextureManager() = default;
    virtual ~TextureManager() = default;

    TextureManager(const TextureManager&) = delete;
    TextureManager& operator=(const TextureManager&) = delete;

    // A new reference to the live texture of that path, or a freshly loaded
    // one; null when the file cannot be loaded.
    Texture* LoadTexture(const char* path);
    void AddTexture(Texture* texture);
    // No effect when the texture is not in the list.
    void RemoveTexture(Texture* texture);

    Texture* GetFirstTexture() const { return m_pHead; }
    // Main thread, between frames: every texture whose nearest art set at or above the
    // renderer's new art scale (1, 2 or 4) is another than the one loaded is loaded again
    // from that set, in place; nothing for a manager without sets.
    virtual void FollowArtScale(int artScale) { (void)artScale; }
    int GetTextureCount() const;

  protected:
    // Loads a file that is not in the list; the result is linked in already.
    virtual Texture* LoadTextureFromFile(const char* path) = 0;

  private:
    Texture* m_pHead = nullptr;
};
