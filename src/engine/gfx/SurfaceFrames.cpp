// Frames on a surface: operations kept until the frame ends, then drawn only where the frame
// differs from the previous one, and what it changed found from the operations alone.
#include "engine/gfx/Surface.h"

#include <algorithm>

void TDirectDrawSurface::BeginFrame() {
    if (m_inFrame) {
        // The last frame was never presented: the surface holds something the window does not.
        EndFrame();
        m_lastFrameKept = false;
    }
    m_inFrame = true;
    m_beganOnLastFrame = m_lastFrameKept;
    m_keeping = m_lastFrameKept;
    m_drawnOutside = false;
    m_frame.clear();
    m_frameData.clear();
    m_putOff = 0;
    m_changesKnown = false;
}

bool TDirectDrawSurface::EndFrame() {
    m_changesKnown = false;
    if (!m_inFrame)
        return false;
    m_inFrame = false;
    bool repeated = false;
    if (m_beganOnLastFrame && !m_drawnOutside && SameAsLastFrame()) {
        repeated = true;
        m_putOff = 0; // the surface shows all of it already
    } else if (m_beganOnLastFrame && !m_drawnOutside) {
        FindChanges();
        // What was kept is drawn only where the frame can differ from the one on the surface.
        if (m_putOff > 0) {
            for (const TRect& part : m_changedParts)
                for (size_t i = m_frame.size() - m_putOff; i < m_frame.size(); ++i)
                    RunDrawOp(*this, m_frame[i], m_frameData.data(), &part);
            m_putOff = 0;
        }
        repeated = m_changedParts.empty();
        m_changesKnown = !repeated;
    } else {
        RunPutOff();
    }
    m_lastFrame.swap(m_frame);
    m_lastFrameData.swap(m_frameData);
    m_lastFrameKept = !m_drawnOutside;
    return repeated;
}

bool TDirectDrawSurface::PutOff(const TDrawOp& op, const uint8_t* data, size_t size) {
    m_stamp = 0;
    if (!m_inFrame) {
        m_lastFrameKept = false; // drawn on between frames: the surface no longer holds the last one
        return false;
    }
    TDrawOp kept = op;
    if (!DrawOpBounds(*this, kept, kept.Bounds))
        return true; // draws nothing at all: nothing to keep or to compare
    if (data && size > 0) {
        kept.DataOffset = static_cast<uint32_t>(m_frameData.size());
        kept.DataSize = static_cast<uint32_t>(size);
        m_frameData.insert(m_frameData.end(), data, data + size);
    }
    m_frame.push_back(kept);
    if (m_keeping) {
        ++m_putOff;
        return true;
    }
    return false;
}

void TDirectDrawSurface::TouchedInFrame() {
    RunPutOff();
    if (m_inFrame) {
        m_keeping = false;
        m_drawnOutside = true;
    } else {
        m_lastFrameKept = false;
    }
}

void TDirectDrawSurface::ReadInFrame() {
    // What the frame drew so far must be there to read; the rest is drawn as it comes.
    RunPutOff();
    m_keeping = false;
}

void TDirectDrawSurface::RunPutOff() {
    // The operations put off are the last ones recorded (a read may have run earlier ones).
    const size_t first = m_frame.size() - m_putOff;
    m_putOff = 0;
    for (size_t i = first; i < m_frame.size(); ++i)
        RunDrawOp(*this, m_frame[i], m_frameData.data());
}

bool TDirectDrawSurface::SameAsLastFrame() const {
    if (m_frame.size() != m_lastFrame.size())
        return false;
    for (size_t i = 0; i < m_frame.size(); ++i)
        if (!SameDrawOp(m_frame[i], m_frameData.data(), m_lastFrame[i], m_lastFrameData.data()))
            return false;
    return true;
}

// Both frames paint every pixel, so a pixel ends up the same in both when every operation that
// touches it is the same in both, at the same place in the sequence. So: the operations that
// differ (or that only one frame has) mark what they touch in either frame; an operation that is
// the same in both and sets every pixel it covers clears the marks made before it there.
void TDirectDrawSurface::FindChanges() {
    m_changes.Reset(m_height);
    const size_t n = std::max(m_frame.size(), m_lastFrame.size());
    for (size_t i = 0; i < n; ++i) {
        const TDrawOp* now = i < m_frame.size() ? &m_frame[i] : nullptr;
        const TDrawOp* before = i < m_lastFrame.size() ? &m_lastFrame[i] : nullptr;
        if (now && before && SameDrawOp(*now, m_frameData.data(), *before, m_lastFrameData.data())) {
            if (DrawOpOpaque(*now))
                m_changes.Clear(now->Bounds);
            continue;
        }
        if (now)
            m_changes.Mark(now->Bounds);
        if (before)
            m_changes.Mark(before->Bounds);
    }
    m_changes.Gather(m_changedParts);
}
