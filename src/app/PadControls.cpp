#include "app/PadControls.h"

#include "engine/gfx/Cp1252.h"
#include "engine/input/GameInput.h"
#include "engine/platform/KeyCodes.h"

#include <algorithm>

namespace {
constexpr int kPauseState = InputButton(4); // P
constexpr int kEscState = InputButton(5);
constexpr int kYesState = InputButton(6);
constexpr int kNoState = InputButton(7);
constexpr int kFireState = InputButton(8); // Space
// Names longer than this are cut: the notice has to fit across the screen.
constexpr size_t kNoticeNameMax = 32;

bool Racing(const TTickView& view) {
    return view.GameScreen == gsRace && view.MessageMode == msgNone;
}
} // namespace

std::array<int, kPadButtonCount> PadBinds(const TTickView& view) {
    std::array<int, kPadButtonCount> binds = TGamePad::UnboundButtons();
    binds[pbStart] = kPauseState;
    if (HasYesNoButtons(view.MessageMode)) {
        binds[pbA] = kYesState;
        binds[pbB] = kNoState;
    } else if (view.GameScreen == gsRace) {
        // Over the race's notices Esc still acts (it resumes from the pause); A is Enter there.
        binds[pbA] = Racing(view) ? kFireState : TGamePad::kNoState;
        binds[pbB] = kEscState;
    }
    return binds;
}

int PadKey(TPadButton button, const TTickView& view) {
    if (HasYesNoButtons(view.MessageMode) || Racing(view)) {
        return 0;
    }
    switch (button) {
    case pbA:
        return vk::Return;
    case pbB:
        return view.GameScreen == gsRace ? 0 : vk::Escape;
    default:
        return 0;
    }
}

int PadWatchKey(TPadButton button) {
    switch (button) {
    case pbB:
        return vk::Escape;
    case pbStart:
    case pbA:
        return 'P';
    case pbDpadRight:
        return 'F';
    default:
        return 0;
    }
}

std::string PadNotice(bool connected, const std::string& utf8Name,
                      const std::function<bool(const std::string&)>& fits) {
    const std::string head = connected ? "Connected: " : "Removed: ";
    std::string name;
    for (char c : Utf8ToCp1252(utf8Name)) {
        if (static_cast<unsigned char>(c) >= 32 && c != 127) {
            name += c;
        }
    }
    if (name.empty()) {
        return head + "Controller";
    }
    std::string line = head + name;
    for (size_t keep = std::min(name.size(), kNoticeNameMax); keep > 0; --keep) {
        line = head + name.substr(0, keep) + (keep < name.size() ? "..." : "");
        if (!fits || fits(line)) {
            break;
        }
    }
    return line;
}
