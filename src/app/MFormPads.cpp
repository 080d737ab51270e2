#include "app/MForm.h"
#include "app/PadControls.h"
#include "context/Frame.h"
#include "context/GameText.h"
#include "engine/platform/Platform.h"
#include "menus/Menus.h"

namespace {
// The player's own controller mappings, in SDL's mapping-line format, beside the save files.
constexpr const char* kPadMappingsFile = "gamecontrollerdb.txt";
constexpr int kNoticeMargin = 10;
} // namespace

void TMForm::LoadPadMappings() {
    const std::string problem = m_platform.LoadPadMappings(m_config.DataDir + "/Save/" + kPadMappingsFile);
    if (!problem.empty()) {
        m_menus->AddStartProblem(problem +
                                 " Controllers without a built-in mapping work as plain joysticks.");
    }
}

void TMForm::HandlePadEvent(const TPlatformEvent& event) {
    switch (event.Kind) {
    case TPlatformEventKind::PadConnected:
    case TPlatformEventKind::PadRemoved:
        ShowShortNotice(PadNotice(event.Kind == TPlatformEventKind::PadConnected, event.Text,
                                  [this](const std::string& line) {
                                      m_text->SetTextFont(kShortNoticeFont);
                                      return m_text->TextWidth(line) <= kScreenWidth - 2 * kNoticeMargin;
                                  }));
        return;
    case TPlatformEventKind::PadButtonDown:
        // Held buttons reach the game through the input states at the tick; a press that stands
        // for Enter or Esc acts as the key's press does, between the ticks.
        if (!TakesEvents() || !m_platform.HasFocus()) {
            return;
        }
        if (const int key = PadKey(static_cast<TPadButton>(event.PadButton), m_view)) {
            FormKeyPress(static_cast<char>(key));
        }
        return;
    default:
        return;
    }
}
