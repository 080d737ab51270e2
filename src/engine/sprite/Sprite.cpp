#include "engine/sprite/Sprite.h"

#include "engine/gfx/ImageList.h"
#include "engine/gfx/Surface.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

int Mod2(int a, int b) {
    int r = a % b;
    return r < 0 ? r + b : r;
}

double Mod2f(double x, int n) {
    if (n == 0)
        return x;
    double r = x - std::trunc(x / n) * n;
    return r < 0 ? r + n : r;
}

int TruncToInt(double v) {
    return static_cast<int>(std::trunc(v));
}

} // namespace

// ---- TSprite ----

TSprite::TSprite(TSprite* parent) : m_parent(parent) {
    if (m_parent) {
        m_engine = m_parent->m_engine ? m_parent->m_engine : dynamic_cast<TSpriteEngine*>(m_parent);
        m_parent->Add(this);
    }
}

TSprite::~TSprite() {
    Clear();
    if (m_parent)
        m_parent->Remove(this);
}

void TSprite::Add(TSprite* child) {
    m_children.push_back(child);
    InsertDrawOrder(child);
}

void TSprite::Remove(TSprite* child) {
    std::erase(m_children, child);
    std::erase(m_drawOrder, child);
    if (m_children.empty()) {
        m_children.shrink_to_fit();
        m_drawOrder.shrink_to_fit();
    }
}

// Lands before the first sibling whose Z is not lower, so among equal Z the newest is drawn first.
void TSprite::InsertDrawOrder(TSprite* child) {
    int l = 0;
    int h = static_cast<int>(m_drawOrder.size()) - 1;
    while (l <= h) {
        int i = (l + h) / 2;
        if (m_drawOrder[i]->m_z < child->m_z)
            l = i + 1;
        else
            h = i - 1;
    }
    m_drawOrder.insert(m_drawOrder.begin() + l, child);
}

void TSprite::Collide(TSprite*, bool&) {}
void TSprite::Render() {}
void TSprite::Step(int) {}

TRect TSprite::GetBounds() const {
    int x = TruncToInt(AbsX());
    int y = TruncToInt(AbsY());
    return TRect{x, y, x + Width, y + Height};
}

bool TSprite::Touches(TSprite*) {
    return true;
}

void TSprite::Move(int moveCount) {
    if (!Movable)
        return;
    Step(moveCount);
    // Children appended during this pass wait for the next one.
    size_t n = m_children.size();
    for (size_t i = 0; i < n && i < m_children.size(); ++i)
        m_children[i]->Move(moveCount);
}

void TSprite::Draw() {
    if (!Visible)
        return;
    if (m_engine && OverlapRect(m_engine->Viewport(), GetBounds()))
        Render();
    size_t n = m_drawOrder.size();
    for (size_t i = 0; i < n && i < m_drawOrder.size(); ++i)
        m_drawOrder[i]->Draw();
}

int TSprite::CheckCollisions() {
    if (!m_engine || !Collidable)
        return 0;
    TSpriteEngine& e = *m_engine;
    e.m_hitCount = 0;
    e.m_done = false;
    e.m_scanRect = GetBounds();
    e.m_scanSprite = this;
    // Done only stops the descent into children: every direct child of the root is tested.
    size_t n = e.m_children.size();
    for (size_t i = 0; i < n && i < e.m_children.size(); ++i)
        Scan(e.m_children[i]);
    e.m_scanSprite = nullptr;
    return e.m_hitCount;
}

void TSprite::Scan(TSprite* target) {
    if (!target->Collidable)
        return;
    TSpriteEngine& e = *m_engine;
    if (target != this && OverlapRect(target->GetBounds(), e.m_scanRect) && Touches(target) &&
        target->Touches(this)) {
        ++e.m_hitCount;
        Collide(target, e.m_done);
        if (!Collidable)
            e.m_done = true;
    }
    if (e.m_done)
        return;
    size_t n = target->m_children.size();
    for (size_t i = 0; i < n && i < target->m_children.size(); ++i)
        Scan(target->m_children[i]);
}

void TSprite::Clear() {
    // Each child's destructor removes it from this sprite's lists.
    while (!m_children.empty())
        delete m_children.back();
}

void TSprite::SetZ(int value) {
    if (value == m_z)
        return;
    m_z = value;
    if (m_parent) {
        std::erase(m_parent->m_drawOrder, this);
        m_parent->InsertDrawOrder(this);
    }
}

double TSprite::AbsX() const {
    return m_parent ? X + m_parent->AbsX() : X;
}
double TSprite::AbsY() const {
    return m_parent ? Y + m_parent->AbsY() : Y;
}

TSprite* TSprite::Child(int index) const {
    if (m_children.empty())
        throw ESpriteError("Index of the list exceeds the range. (" + std::to_string(index) + ")");
    if (index < 0 || index >= ChildCount())
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    return m_children[index];
}

// ---- TImageSprite ----

TImageSprite::TImageSprite(TSprite* parent) : TSprite(parent) {}

int TImageSprite::CurrentFrame() const {
    return FirstFrame + TruncToInt(FramePos);
}

TRect TImageSprite::DrawRect() const {
    TRect r = GetBounds();
    if (!Image)
        return r;
    int dx = (Width - Image->Width()) / 2;
    int dy = (Height - Image->Height()) / 2;
    return TRect{r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
}

void TImageSprite::Render() {
    if (!Image || !Engine())
        return;
    TRect r = DrawRect();
    Image->Draw(Engine()->Surface(), r.Left, r.Top, CurrentFrame());
}

void TImageSprite::Step(int moveCount) {
    FramePos += FrameSpeed * moveCount;
    if (Looping) {
        FramePos = FrameCount > 0 ? Mod2f(FramePos, FrameCount) : 0;
    } else {
        if (FramePos >= FrameCount) {
            FramePos = FrameCount - 1;
            FrameSpeed = 0;
        }
        if (FramePos < 0) {
            FramePos = 0;
            FrameSpeed = 0;
        }
    }
}

// ---- TBackgroundSprite ----

TBackgroundSprite::TBackgroundSprite(TSprite* parent) : TSprite(parent) {
    Collidable = false;
}

void TBackgroundSprite::ResizeMap(int cols, int rows) {
    if (cols == m_mapCols && rows == m_mapRows)
        return;
    if (cols <= 0 || rows <= 0) {
        cols = 0;
        rows = 0;
    }
    m_mapCols = cols;
    m_mapRows = rows;
    m_cells.assign(static_cast<size_t>(cols) * rows, 0);
}

int TBackgroundSprite::Cell(int col, int row) const {
    if (col < 0 || col >= m_mapCols || row < 0 || row >= m_mapRows)
        return -1;
    return m_cells[static_cast<size_t>(row) * m_mapCols + col];
}

void TBackgroundSprite::SetCell(int col, int row, int value) {
    if (col < 0 || col >= m_mapCols || row < 0 || row >= m_mapRows)
        return;
    m_cells[static_cast<size_t>(row) * m_mapCols + col] = value;
}

bool TBackgroundSprite::CoversViewport() const {
    if (!Visible || !Tiled || !Image || !Engine() || m_cells.empty())
        return false;
    return std::all_of(m_cells.begin(), m_cells.end(),
                       [this](int c) { return Image->PaintsWholePattern(c); });
}

TRect TBackgroundSprite::GetBounds() const {
    if (Tiled)
        return Engine() ? Engine()->Viewport() : TRect{};
    if (!Image)
        return TRect{};
    int x = TruncToInt(AbsX());
    int y = TruncToInt(AbsY());
    return Bounds(x, y, Image->Width() * m_mapCols, Image->Height() * m_mapRows);
}

void TBackgroundSprite::Render() {
    if (!Image || m_mapCols <= 0 || m_mapRows <= 0 || !Engine())
        return;
    TRect cell0 = Image->PatternRect(0);
    int cw = cell0.Width();
    int ch = cell0.Height();
    if (cw <= 0 || ch <= 0)
        return;
    const TRect& vp = Engine()->Viewport();
    TDirectDrawSurface* surface = Engine()->Surface();
    int nx = (vp.Right + cw) / cw;
    int ny = (vp.Bottom + ch) / ch;
    int px = TruncToInt(AbsX());
    int py = TruncToInt(AbsY());
    int ofsX = px % cw;
    int ofsY = py % ch;
    int startX = px / cw;
    int startY = py / ch;
    int skipX = 0;
    int skipY = 0;
    if (startX < 0) {
        skipX = -startX;
        startX = 0;
    }
    if (startY < 0) {
        skipY = -startY;
        startY = 0;
    }
    if (Tiled) {
        for (int cy = -1; cy <= ny + 1; ++cy) {
            int row = Mod2(cy - startY + skipY, m_mapRows);
            for (int cx = -1; cx <= nx + 1; ++cx) {
                int c = Cell(Mod2(cx - startX + skipX, m_mapCols), row);
                if (c >= 0)
                    Image->Draw(surface, cx * cw + ofsX, cy * ch + ofsY, c);
            }
        }
    } else {
        int endX = std::min(startX + m_mapCols - skipX, nx + 1);
        int endY = std::min(startY + m_mapRows - skipY, ny + 1);
        for (int cy = startY; cy < endY; ++cy)
            for (int cx = startX; cx < endX; ++cx) {
                int c = Cell(cx - startX + skipX, cy - startY + skipY);
                if (c >= 0)
                    Image->Draw(surface, cx * cw + ofsX, cy * ch + ofsY, c);
            }
    }
}

// ---- TSpriteEngine ----

TSpriteEngine::TSpriteEngine() : TSprite(nullptr) {}

bool TSpriteEngine::DrawCoversViewport() const {
    if (!Visible || !m_surface || m_viewport.Empty())
        return false;
    for (const TSprite* child : m_drawOrder)
        if (const auto* back = dynamic_cast<const TBackgroundSprite*>(child); back && back->CoversViewport())
            return true;
    return false;
}

void TSpriteEngine::SetSurface(TDirectDrawSurface* surface) {
    m_surface = surface;
    if (surface) {
        m_viewport = TRect{0, 0, surface->Width(), surface->Height()};
        Width = surface->Width();
        Height = surface->Height();
    }
}
