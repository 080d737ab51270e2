#pragma once

#include "app/Overlay.h"

// The notices over a running race, written straight over it in the notice font.

// "Level n" for 2000 ms at the start of every level, while the race stands still.
class TLevelBanner : public TOverlay {
  public:
    TLevelBanner(const TSeat& seat, TMessages& messages) : TOverlay(seat, messages, msgLevel) {}
    bool IsNotice() const override { return true; }
    void Open() override;
    void Draw(int lagCount) override;
};

// "Pause", until P or Esc.
class TPauseNotice : public TOverlay {
  public:
    TPauseNotice(const TSeat& seat, TMessages& messages) : TOverlay(seat, messages, msgPause) {}
    bool IsNotice() const override { return true; }
    bool ResumesFire() const override { return true; }
    void Open() override;
    void Draw(int lagCount) override;
};

// "Your time is over." for 3000 ms, then the same level again; running explosions play on.
class TTimeOverNotice : public TOverlay {
  public:
    TTimeOverNotice(const TSeat& seat, TMessages& messages) : TOverlay(seat, messages, msgTimeOver) {}
    bool IsNotice() const override { return true; }
    bool IsRaceStep() const override { return true; }
    void Open() override;
    void Draw(int lagCount) override;
};
