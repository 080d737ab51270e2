#pragma once

#include "app/Overlay.h"

#include <initializer_list>
#include <utility>

// The questions over a menu screen, no highlighted. Their buttons take slots of their own so the
// screen's buttons stay as they were; the screen stands still under them and the selection it
// had comes back when they close.
class TMenuQuestion : public TYesNoQuestion {
  public:
    TMenuQuestion(const TSeat& seat, TMessages& messages, TMessageMode mode);
    void Open() override;
    void Close() override;
    // Over the menus, on the sub-screens' middle: the main menu's column, icons and all, stays in
    // sight beside the question.
    int CentreX() const override;

  protected:
    // The tick: the buttons, the frame again with the question's lines, the present, Y and N.
    void DrawQuestion(int lagCount, int fontSlot, std::initializer_list<std::pair<const char*, int>> lines);
};

// "Exit the game?" from the main menu's exit button or the close box: yes ends the game.
class TExitQuestion : public TMenuQuestion {
  public:
    TExitQuestion(const TSeat& seat, TMessages& messages) : TMenuQuestion(seat, messages, msgExitGame) {}
    void Draw(int lagCount) override;
    void Answer() override;
    void Close() override;
};

// "Do you want to clear the High Score Table?": yes resets the table.
class TClearTableQuestion : public TMenuQuestion {
  public:
    TClearTableQuestion(const TSeat& seat, TMessages& messages)
        : TMenuQuestion(seat, messages, msgClearTable) {}
    void Draw(int lagCount) override;
    void Answer() override;
};
