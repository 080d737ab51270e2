#pragma once

#include "engine/sprite/Sprite.h"

#include <string>
#include <vector>

// A sprite that writes its name into a shared log whenever a hook runs.
class TRecordingSprite : public TSprite {
  public:
    TRecordingSprite(TSprite* parent, std::string name, std::vector<std::string>& log)
        : TSprite(parent), Name(std::move(name)), m_log(log) {}
    ~TRecordingSprite() override { m_log.push_back("~" + Name); }

    void Render() override { m_log.push_back("render " + Name); }
    void Step(int moveCount) override { m_log.push_back("step " + Name + " " + std::to_string(moveCount)); }
    void Collide(TSprite* other, bool& done) override {
        auto* o = dynamic_cast<TRecordingSprite*>(other);
        m_log.push_back("hit " + Name + " " + (o ? o->Name : "?"));
        if (SetDoneOnHit)
            done = true;
        if (LeaveScansOnHit)
            Collidable = false;
    }

    std::string Name;
    bool SetDoneOnHit = false;
    bool LeaveScansOnHit = false;

  private:
    std::vector<std::string>& m_log;
};

// A 10 × 10 box at (x, y).
inline void Place(TSprite& s, double x, double y, int w = 10, int h = 10) {
    s.X = x;
    s.Y = y;
    s.Width = w;
    s.Height = h;
}
