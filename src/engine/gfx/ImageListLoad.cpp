#include "engine/archive/ImageArchive.h"
#include "engine/gfx/ImageList.h"

void TPictureCollection::LoadFromFile(const std::string& fileName) {
    // Read everything first: a file that cannot be read leaves the collection untouched.
    std::vector<TImageArchiveItem> archive = ReadImageArchive(fileName);
    Clear();
    for (TImageArchiveItem& a : archive) {
        TPictureCollectionItem& item = Add();
        item.SetName(a.Name);
        item.PatternWidth = a.PatternWidth;
        item.PatternHeight = a.PatternHeight;
        item.SkipWidth = a.SkipWidth;
        item.SkipHeight = a.SkipHeight;
        item.SystemMemory = a.SystemMemory;
        item.Transparent = a.Transparent;
        item.SetTransparentColor(ColorValueToRGB(a.TransparentColor));
        if (a.Picture)
            item.Picture = TPicture{a.Picture->Width, a.Picture->Height, std::move(a.Picture->Pixels)};
    }
    if (m_initialized) {
        for (auto& item : m_items)
            item->Initialize();
        Restore();
    }
}
