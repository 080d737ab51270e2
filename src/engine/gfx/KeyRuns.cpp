#include "engine/gfx/KeyRuns.h"

#include "engine/gfx/Surface.h"

void TKeyRuns::Build(const TDirectDrawSurface& surface) {
    m_stamp = surface.Stamp();
    m_key = surface.ColorKey();
    m_rows.assign(static_cast<size_t>(surface.Height()), TRow{});
    m_runs.clear();
    const int w = surface.Width();
    for (int y = 0; y < surface.Height(); ++y) {
        const uint16_t* p = surface.Row(y);
        const size_t first = m_runs.size();
        int count = 0;
        for (int x = 0; x < w && count <= kMaxRuns;) {
            while (x < w && p[x] == m_key)
                ++x;
            if (x == w)
                break;
            const int begin = x;
            while (x < w && p[x] != m_key)
                ++x;
            m_runs.push_back(static_cast<uint16_t>(begin));
            m_runs.push_back(static_cast<uint16_t>(x));
            ++count;
        }
        if (count > kMaxRuns || w > kTested) {
            m_runs.resize(first); // left to the test
            continue;
        }
        m_rows[static_cast<size_t>(y)] = TRow{static_cast<uint32_t>(first), static_cast<uint16_t>(count)};
    }
}
