#include "engine/gfx/ImageList.h"

#include "engine/gfx/Draw.h"

#include <algorithm>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

// Lower case of a Windows-1252 byte, so that names compare alike whatever their case.
unsigned char LowerCp1252(unsigned char c) {
    if (c >= 'A' && c <= 'Z')
        return static_cast<unsigned char>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return static_cast<unsigned char>(c + 32);
    switch (c) {
    case 0x8A:
    case 0x8C:
    case 0x8E:
        return static_cast<unsigned char>(c + 16);
    case 0x9F:
        return 0xFF;
    default:
        return c;
    }
}

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerCp1252(static_cast<unsigned char>(a[i])) != LowerCp1252(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

int NameBucket(std::string_view name) {
    size_t len = name.size();
    unsigned h = static_cast<unsigned>(len) * 16;
    if (len >= 2)
        h += LowerCp1252(static_cast<unsigned char>(name[0])) +
             LowerCp1252(static_cast<unsigned char>(name[len - 2]));
    return static_cast<int>(h & 255);
}

} // namespace

// ---- TPictureCollectionItem ----

TPictureCollectionItem::TPictureCollectionItem(TPictureCollection& collection) : m_collection(collection) {
    m_collection.Link(*this);
}

TPictureCollectionItem::~TPictureCollectionItem() {
    Finalize();
    m_collection.Unlink(*this);
}

int TPictureCollectionItem::Index() const {
    const auto& items = m_collection.m_items;
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].get() == this)
            return static_cast<int>(i);
    return -1;
}

void TPictureCollectionItem::SetName(std::string name) {
    // Only a new name moves the item to the head of its chain; the same name keeps its place.
    if (name == m_name)
        return;
    m_collection.Unlink(*this);
    m_name = std::move(name);
    m_collection.Link(*this);
}

void TPictureCollectionItem::SetTransparentColor(uint32_t rgb) {
    if (rgb == m_transparentColor)
        return;
    m_transparentColor = rgb;
    ApplyColorKey();
}

// The key goes through the same conversion as the pixels, so a pixel of the key colour
// always matches it.
void TPictureCollectionItem::ApplyColorKey() {
    uint16_t key = RGBValueTo565(m_transparentColor);
    for (auto& s : m_surfaces)
        s->SetColorKey(key);
}

int TPictureCollectionItem::Width() const {
    if (PatternWidth > 0)
        return PatternWidth;
    return Picture ? Picture->Width : 0;
}

int TPictureCollectionItem::Height() const {
    if (PatternHeight > 0)
        return PatternHeight;
    return Picture ? Picture->Height : 0;
}

int TPictureCollectionItem::PatternCount() const {
    if (m_built)
        return static_cast<int>(m_patterns.size());
    if (!Picture || Picture->Empty())
        return 0;
    // A trailing pattern needs no gap after it, hence the extra one when the remainder fits it.
    auto count = [](int size, int pattern, int skip) {
        int cell = pattern + skip;
        if (cell <= 0)
            return 0;
        int n = size / cell;
        if (size - n * cell == pattern)
            ++n;
        return n;
    };
    return count(Picture->Width, Width(), SkipWidth) * count(Picture->Height, Height(), SkipHeight);
}

TRect TPictureCollectionItem::PatternRect(int index) const {
    if (!m_built || index < 0 || index >= static_cast<int>(m_patterns.size()))
        return TRect{};
    return m_patterns[index].Rect;
}

TDirectDrawSurface* TPictureCollectionItem::PatternSurface(int index) const {
    if (!m_built || index < 0 || index >= static_cast<int>(m_patterns.size()))
        return nullptr;
    return m_patterns[index].Surface;
}

void TPictureCollectionItem::Initialize() {
    Finalize();
    m_initialized = true;
}

void TPictureCollectionItem::Finalize() {
    m_built = false;
    m_initialized = false;
    // Once the source's pixels are let go the surfaces are the picture: they stay.
    if (Picture && Picture->Pixels.empty() && !m_surfaces.empty())
        return;
    m_patterns.clear();
    m_surfaces.clear();
    m_surfaceAreas.clear();
}

TPictureCollectionItem::TCut TPictureCollectionItem::CurrentCut() const {
    return TCut{Picture ? Picture->Width : 0,
                Picture ? Picture->Height : 0,
                Width(),
                Height(),
                SkipWidth,
                SkipHeight,
                SystemMemory};
}

TDirectDrawSurface& TPictureCollectionItem::AddSurface(const TRect& area,
                                                       const std::vector<uint16_t>* whole) {
    auto surface = std::make_unique<TDirectDrawSurface>(area.Width(), area.Height());
    surface->SystemMemory = SystemMemory;
    const int picW = Picture->Width;
    for (int y = 0; y < area.Height(); ++y) {
        uint16_t* dst = surface->Row(y);
        const size_t from = static_cast<size_t>(area.Top + y) * picW + area.Left;
        if (whole) {
            std::copy_n(whole->data() + from, area.Width(), dst);
        } else {
            const uint32_t* src = Picture->Pixels.data() + from;
            for (int x = 0; x < area.Width(); ++x)
                dst[x] = RGBValueTo565(src[x]);
        }
    }
    surface->SetColorKey(RGBValueTo565(m_transparentColor));
    m_surfaces.push_back(std::move(surface));
    m_surfaceAreas.push_back(area);
    return *m_surfaces.back();
}

// The picture in RGB565 put together again from the surfaces it was cut into.
std::vector<uint16_t> TPictureCollectionItem::JoinSurfaces() const {
    const int picW = m_cut.PictureWidth;
    std::vector<uint16_t> whole(static_cast<size_t>(picW) * m_cut.PictureHeight, 0);
    for (size_t i = 0; i < m_surfaces.size(); ++i) {
        const TRect& area = m_surfaceAreas[i];
        for (int y = 0; y < area.Height(); ++y)
            std::copy_n(m_surfaces[i]->Row(y), area.Width(),
                        whole.data() + static_cast<size_t>(area.Top + y) * picW + area.Left);
    }
    return whole;
}

void TPictureCollectionItem::Restore() {
    if (!Picture || Picture->Empty())
        return;
    const bool hasSource = Picture->Pixels.size() >= static_cast<size_t>(Picture->Width) * Picture->Height;
    const bool hasConverted =
        !m_surfaces.empty() && m_cut.PictureWidth == Picture->Width && m_cut.PictureHeight == Picture->Height;
    if (!hasSource && (!Picture->Pixels.empty() || !hasConverted))
        return; // a malformed picture draws nothing rather than reading past its pixels
    if (!m_initialized) {
        if (m_collection.Initialized())
            Initialize();
        if (!m_initialized)
            return;
    }
    if (!hasSource && CurrentCut() == m_cut) {
        // The surfaces hold the picture cut as it is asked for: taken into use again.
        m_built = true;
        ApplyColorKey();
        return;
    }
    if (hasSource) {
        Cut(nullptr);
        // The surfaces hold all of the picture now: its source is let go.
        if (!m_surfaces.empty())
            Picture->Pixels = std::vector<uint32_t>();
    } else {
        const std::vector<uint16_t> whole = JoinSurfaces();
        Cut(&whole);
    }
    m_built = !m_surfaces.empty();
}

void TPictureCollectionItem::Cut(const std::vector<uint16_t>* whole) {
    m_patterns.clear();
    m_surfaces.clear();
    m_surfaceAreas.clear();
    const int w = Width();
    const int h = Height();
    const int picW = Picture->Width;
    const int picH = Picture->Height;
    m_cut = CurrentCut();
    if (w <= 0 || h <= 0)
        return;
    if (w == picW && h == picH) {
        TDirectDrawSurface& surface = AddSurface(TRect{0, 0, picW, picH}, whole);
        m_patterns.push_back(TPattern{TRect{0, 0, w, h}, &surface});
        return;
    }
    const int cellW = w + SkipWidth;
    const int cellH = h + SkipHeight;
    if (cellW <= 0 || cellH <= 0)
        return;
    // A trailing pattern needs no gap after it.
    const int cols = (picW + SkipWidth) / cellW;
    const int rows = (picH + SkipHeight) / cellH;
    // With overlapping patterns (a negative skip) a block edge would cut a pattern in two.
    if (SystemMemory || SkipWidth < 0 || SkipHeight < 0) {
        TDirectDrawSurface& surface = AddSurface(TRect{0, 0, picW, picH}, whole);
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < cols; ++x)
                m_patterns.push_back(TPattern{Bounds(x * cellW, y * cellH, w, h), &surface});
        return;
    }
    // Video memory: blocks of a whole number of cells, about kBlockSize pixels a side.
    const int blockW = std::min((cellW + kBlockSize - 1) / cellW * cellW, cols * cellW);
    const int blockH = std::min((cellH + kBlockSize - 1) / cellH * cellH, rows * cellH);
    if (blockW <= 0 || blockH <= 0)
        return;
    const int xBlocks = (picW + blockW - 1) / blockW;
    const int yBlocks = (picH + blockH - 1) / blockH;
    for (int by = 0; by < yBlocks; ++by)
        for (int bx = 0; bx < xBlocks; ++bx)
            AddSurface(Bounds(bx * blockW, by * blockH, std::min(blockW, picW - bx * blockW),
                              std::min(blockH, picH - by * blockH)),
                       whole);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < cols; ++x) {
            const int px = x * cellW;
            const int py = y * cellH;
            TDirectDrawSurface* surface = m_surfaces[(px / blockW) + (py / blockH) * xBlocks].get();
            m_patterns.push_back(TPattern{Bounds(px % blockW, py % blockH, w, h), surface});
        }
}

bool TPictureCollectionItem::PaintsWholePattern(int patternIndex) const {
    if (!m_initialized || Transparent || patternIndex < 0 ||
        patternIndex >= static_cast<int>(m_patterns.size()))
        return false;
    const TPattern& p = m_patterns[patternIndex];
    return p.Rect.Left >= 0 && p.Rect.Top >= 0 && p.Rect.Right <= p.Surface->Width() &&
           p.Rect.Bottom <= p.Surface->Height() && p.Rect.Width() == Width() && p.Rect.Height() == Height();
}

void TPictureCollectionItem::Draw(TDirectDrawSurface* dest, int x, int y, int patternIndex) const {
    if (!dest || !m_initialized || !m_built || patternIndex < 0 ||
        patternIndex >= static_cast<int>(m_patterns.size()))
        return;
    const TPattern& p = m_patterns[patternIndex];
    DrawSurface(*dest, x, y, p.Rect, p.Surface, Transparent);
}

void TPictureCollectionItem::DrawRotated(TDirectDrawSurface* dest, int x, int y, int width, int height,
                                         int patternIndex, double centerX, double centerY, int angle) const {
    if (!dest || !m_initialized || !m_built || patternIndex < 0 ||
        patternIndex >= static_cast<int>(m_patterns.size()))
        return;
    const TPattern& p = m_patterns[patternIndex];
    DrawSurfaceRotated(*dest, x, y, width, height, p.Rect, p.Surface, centerX, centerY, Transparent, angle);
}

// ---- TPictureCollection ----

TPictureCollection::TPictureCollection() = default;

TPictureCollection::~TPictureCollection() {
    Clear();
}

TPictureCollectionItem& TPictureCollection::Item(int index) const {
    if (index < 0 || index >= Count())
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    return *m_items[index];
}

TPictureCollectionItem& TPictureCollection::Add() {
    m_items.push_back(std::make_unique<TPictureCollectionItem>(*this));
    return *m_items.back();
}

void TPictureCollection::Delete(int index) {
    if (index < 0 || index >= Count())
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    m_items.erase(m_items.begin() + index);
}

void TPictureCollection::Clear() {
    while (!m_items.empty())
        m_items.pop_back();
}

void TPictureCollection::Link(TPictureCollectionItem& item) {
    int b = NameBucket(item.m_name);
    item.m_bucket = b;
    item.m_nextInBucket = m_buckets[b];
    m_buckets[b] = &item;
}

void TPictureCollection::Unlink(TPictureCollectionItem& item) {
    if (item.m_bucket < 0)
        return;
    TPictureCollectionItem** link = &m_buckets[item.m_bucket];
    while (*link && *link != &item)
        link = &(*link)->m_nextInBucket;
    if (*link)
        *link = item.m_nextInBucket;
    item.m_nextInBucket = nullptr;
    item.m_bucket = -1;
}

TPictureCollectionItem* TPictureCollection::TryFind(std::string_view name) const {
    for (TPictureCollectionItem* p = m_buckets[NameBucket(name)]; p; p = p->m_nextInBucket)
        if (SameText(p->m_name, name))
            return p;
    return nullptr;
}

int TPictureCollection::IndexOf(std::string_view name) const {
    TPictureCollectionItem* item = TryFind(name);
    return item ? item->Index() : -1;
}

TPictureCollectionItem& TPictureCollection::Find(std::string_view name) const {
    TPictureCollectionItem* item = TryFind(name);
    if (!item)
        throw EPictureCollectionError("Image '" + std::string(name) + "' not found");
    return *item;
}

void TPictureCollection::Initialize(bool displayInitialized) {
    Finalize();
    if (!displayInitialized)
        throw EPictureCollectionError("TPictureCollection cannot be initialized");
    m_initialized = true;
    for (auto& item : m_items)
        item->Initialize();
}

void TPictureCollection::Finalize() {
    for (auto& item : m_items)
        item->Finalize();
    m_initialized = false;
}

void TPictureCollection::Restore() {
    for (auto& item : m_items)
        item->Restore();
        // The pictures' sources were let go: the allocator would keep that memory for itself.
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}
