#include "engine/gfx/Surface.h"
#include "engine/sprite/Recorder.h"

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

class Collisions : public ::testing::Test {
  protected:
    Collisions() : surface(800, 600) { root.SetSurface(&surface); }
    Log log; // outlives the sprites, which log their destruction
    TDirectDrawSurface surface;
    TSpriteEngine root;

    TRecordingSprite* Make(const std::string& name, double x, double y, TSprite* parent = nullptr) {
        auto* s = new TRecordingSprite(parent ? parent : &root, name, log);
        Place(*s, x, y);
        return s;
    }
};

TEST_F(Collisions, OnlyStrictOverlapsHit) {
    auto* s = Make("S", 100, 100);
    Make("right", 110, 100);   // shares the right edge
    Make("below", 100, 110);   // shares the bottom edge
    Make("corner", 90, 90);    // shares the top-left corner
    Make("overlap", 109, 109); // one pixel overlaps
    EXPECT_EQ(s->CheckCollisions(), 1);
    EXPECT_EQ(log, (Log{"hit S overlap"}));
}

TEST_F(Collisions, NeverHitsItselfAndSkipsNonCollidable) {
    auto* s = Make("S", 0, 0);
    auto* ghost = Make("ghost", 0, 0);
    Make("inGhost", 0, 0, ghost);
    ghost->Collidable = false;
    EXPECT_EQ(s->CheckCollisions(), 0);
    ghost->Collidable = true;
    EXPECT_EQ(s->CheckCollisions(), 2);
    s->Collidable = false;
    log.clear();
    EXPECT_EQ(s->CheckCollisions(), 0);
    EXPECT_EQ(log, Log{});
}

TEST_F(Collisions, DoneStopsOnlyTheDescentIntoChildren) {
    auto* s = Make("S", 0, 0);
    auto* a = Make("A", 0, 0);
    Make("A1", 0, 0, a);
    Make("B", 0, 0);
    s->SetDoneOnHit = true;
    EXPECT_EQ(s->CheckCollisions(), 2);
    EXPECT_EQ(log, (Log{"hit S A", "hit S B"}));

    // Leaving the scans in Collide counts as done as well; later root children still hit.
    log.clear();
    s->SetDoneOnHit = false;
    s->LeaveScansOnHit = true;
    EXPECT_EQ(s->CheckCollisions(), 2);
    EXPECT_EQ(log, (Log{"hit S A", "hit S B"}));
}

TEST_F(Collisions, ScanWalksChildrenWhenNotDone) {
    auto* s = Make("S", 0, 0);
    auto* a = Make("A", 500, 500); // parent far away, children still scanned
    Make("A1", -500, -500, a);
    EXPECT_EQ(s->CheckCollisions(), 1);
    EXPECT_EQ(log, (Log{"hit S A1"}));
}

TEST_F(Collisions, SpriteOutsideATreeFindsNothing) {
    TRecordingSprite loose(nullptr, "L", log);
    Place(loose, 0, 0);
    EXPECT_EQ(loose.CheckCollisions(), 0);
}

} // namespace
