#pragma once

#include "engine/gfx/Picture.h"
#include "engine/gfx/Rect.h"
#include "engine/gfx/Surface.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class TPictureCollection;

class EPictureCollectionError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};
class EDirectDrawSurfaceError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A named picture cut into a grid of equal patterns (animation frames, button states, digits),
// numbered row by row. Its surfaces exist between Restore and Finalize.
class TPictureCollectionItem {
  public:
    explicit TPictureCollectionItem(TPictureCollection& collection);
    ~TPictureCollectionItem();
    TPictureCollectionItem(const TPictureCollectionItem&) = delete;
    TPictureCollectionItem& operator=(const TPictureCollectionItem&) = delete;

    TPictureCollection& Collection() const { return m_collection; }
    int Index() const;

    const std::string& Name() const { return m_name; }
    void SetName(std::string name); // the item named last wins a lookup

    // The source picture. Its pixels are let go once Restore has turned them into the pattern
    // surfaces (Width and Height stay): from then on the surfaces are the item's only copy, kept
    // across Finalize and cut again from themselves should the pattern geometry change. A picture
    // given anew with its pixels is taken up by the next Restore.
    std::optional<TPicture> Picture;
    int32_t PatternWidth = 0; // 0: the whole picture
    int32_t PatternHeight = 0;
    int32_t SkipWidth = 0; // gap between neighbouring patterns
    int32_t SkipHeight = 0;
    bool SystemMemory = false;
    bool Transparent = true;

    // 0x00RRGGBB; pixels of this colour are not drawn when Transparent.
    uint32_t TransparentColor() const { return m_transparentColor; }
    void SetTransparentColor(uint32_t rgb);

    // Pattern size.
    int Width() const;
    int Height() const;
    int PatternCount() const;
    // Empty rectangle / null for an index out of range.
    TRect PatternRect(int index) const;
    TDirectDrawSurface* PatternSurface(int index) const;

    bool Initialized() const { return m_initialized; }
    void Initialize();
    // Patterns and surfaces are out of use until the next Restore (the surfaces stay in memory:
    // they hold the picture).
    void Finalize();
    // Builds the pattern surfaces from the picture.
    void Restore();

    // Drawing the pattern writes every pixel of its Width × Height box: the item is ready to
    // draw, not transparent, and the pattern lies whole on its surface.
    bool PaintsWholePattern(int patternIndex) const;

    // Draws nothing when dest is null, the item is not initialized or index is out of range.
    void Draw(TDirectDrawSurface* dest, int x, int y, int patternIndex) const;
    void DrawRotated(TDirectDrawSurface* dest, int x, int y, int width, int height, int patternIndex,
                     double centerX, double centerY, int angle) const;

  private:
    friend class TPictureCollection;
    // Pictures in video memory are cut into blocks of about this many pixels a side.
    static constexpr int kBlockSize = 512;
    struct TPattern {
        TRect Rect;
        TDirectDrawSurface* Surface;
    };
    // What the surfaces were cut by: the same again needs no new cut.
    struct TCut {
        int PictureWidth = 0, PictureHeight = 0, Width = 0, Height = 0, SkipWidth = 0, SkipHeight = 0;
        bool SystemMemory = false;
        bool operator==(const TCut&) const = default;
    };
    TCut CurrentCut() const;
    void ApplyColorKey();
    // A surface with the picture's area: from the source's pixels, or from whole (RGB565, the
    // picture's size) when the source is let go.
    TDirectDrawSurface& AddSurface(const TRect& area, const std::vector<uint16_t>* whole);
    void Cut(const std::vector<uint16_t>* whole);
    std::vector<uint16_t> JoinSurfaces() const;

    TPictureCollection& m_collection;
    std::string m_name;
    uint32_t m_transparentColor = 0;
    bool m_initialized = false;
    std::vector<std::unique_ptr<TDirectDrawSurface>> m_surfaces;
    std::vector<TRect> m_surfaceAreas; // where each surface lies in the picture
    std::vector<TPattern> m_patterns;
    bool m_built = false; // patterns in use: restored and not finalized since
    TCut m_cut;
    TPictureCollectionItem* m_nextInBucket = nullptr;
    int m_bucket = -1;
};

// The owned, ordered items of one image list with a case-insensitive, hashed name index.
class TPictureCollection {
  public:
    TPictureCollection();
    ~TPictureCollection();
    TPictureCollection(const TPictureCollection&) = delete;
    TPictureCollection& operator=(const TPictureCollection&) = delete;

    int Count() const { return static_cast<int>(m_items.size()); }
    TPictureCollectionItem& Item(int index) const; // throws std::out_of_range
    TPictureCollectionItem& Add();
    void Delete(int index);
    void Clear();

    // Raises EPictureCollectionError "Image '<name>' not found".
    TPictureCollectionItem& Find(std::string_view name) const;
    // Null when there is no such item.
    TPictureCollectionItem* TryFind(std::string_view name) const;
    int IndexOf(std::string_view name) const;

    // Replaces the items with those of an image archive; initializes and restores them at once
    // when the collection is initialized.
    void LoadFromFile(const std::string& fileName);

    bool Initialized() const { return m_initialized; }
    // Ready for a display: raises EPictureCollectionError "TPictureCollection cannot be
    // initialized" unless that display is initialized.
    void Initialize(bool displayInitialized);
    void Finalize();
    void Restore();

  private:
    friend class TPictureCollectionItem;
    static constexpr int kBucketCount = 256;
    void Link(TPictureCollectionItem& item);
    void Unlink(TPictureCollectionItem& item);

    std::vector<std::unique_ptr<TPictureCollectionItem>> m_items;
    std::array<TPictureCollectionItem*, kBucketCount> m_buckets{};
    bool m_initialized = false;
};
