#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class TMForm;
class TCaptionSprite;
class TMenuButton;
class TCanvas;

// The message overlays (level banner, pause, questions, "Sending..."…) and the text
// helpers that the HUD, the high-score table and the options screen share.
class TMessages {
  public:
    explicit TMessages(TMForm& form) : m_form(form) {}

    void OpenMessage(uint8_t mode);
    void CloseMessage();
    void DrawMessages(int lagCount);
    // A click (mouse, Enter or Y/N) on the race's finish-race, name-entry and send-result steps.
    void AnswerRaceOverlay();

    // Text on the back surface's canvas, Windows-1252 bytes.
    void SetTextFont(int slot);
    void DrawText(std::string_view text, int x, int y, bool centred);
    int TextWidth(std::string_view text);
    static int DigitCount(int32_t n);

    int32_t MessageTimer = 0;
    int32_t CursorBlinkMs = 0;
    TCaptionSprite* OverlayWindow = nullptr;
    TCaptionSprite* TextCursor = nullptr;

  private:
    TCanvas* Canvas();
    TMenuButton* CreateYesNo(const char* image, int x, int y);
    // Counts a timed overlay down; returns true when it closed it.
    bool TimerStep();
    void MoveButtons(int first, int second, int lagCount);
    void AnswerKeys(uint8_t mode);
    void EndRace();

    TMForm& m_form;
};
