#include "engine/gfx/Surface.h"
#include "engine/sprite/Recorder.h"

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

class SpriteTree : public ::testing::Test {
  protected:
    SpriteTree() : surface(800, 600) { root.SetSurface(&surface); }
    Log log; // outlives the sprites, which log their destruction
    TDirectDrawSurface surface;
    TSpriteEngine root;

    TRecordingSprite* Make(const std::string& name, TSprite* parent = nullptr) {
        auto* s = new TRecordingSprite(parent ? parent : &root, name, log);
        Place(*s, 100, 100);
        return s;
    }
    Log Rendered() {
        log.clear();
        root.Draw();
        return log;
    }
};

TEST_F(SpriteTree, EqualZNewestDrawsUnderneathAndSetZResorts) {
    auto* a = Make("A");
    Make("B");
    Make("C");
    EXPECT_EQ(Rendered(), (Log{"render C", "render B", "render A"}));
    a->SetZ(0);
    EXPECT_EQ(Rendered(), (Log{"render C", "render B", "render A"}));
    a->SetZ(5);
    EXPECT_EQ(Rendered(), (Log{"render C", "render B", "render A"}));
    a->SetZ(0);
    EXPECT_EQ(Rendered(), (Log{"render A", "render C", "render B"}));
    a->SetZ(-1);
    EXPECT_EQ(a->Z(), -1);
    EXPECT_EQ(Rendered(), (Log{"render A", "render C", "render B"}));
}

TEST_F(SpriteTree, HigherZDrawsOnTopWhateverTheCreationOrder) {
    auto* top = Make("top");
    top->SetZ(10);
    auto* mid = Make("mid");
    mid->SetZ(5);
    Make("low");
    EXPECT_EQ(Rendered(), (Log{"render low", "render mid", "render top"}));
}

TEST_F(SpriteTree, InvisibleSpriteHidesItsChildrenButStillSteps) {
    auto* parent = Make("P");
    Make("K", parent);
    parent->Visible = false;
    EXPECT_EQ(Rendered(), Log{});
    log.clear();
    root.Move(3);
    EXPECT_EQ(log, (Log{"step P 3", "step K 3"}));
}

TEST_F(SpriteTree, ImmovableSpriteFreezesItsChildren) {
    auto* parent = Make("P");
    Make("K", parent);
    auto* other = Make("O");
    parent->Movable = false;
    root.Move(1);
    EXPECT_EQ(log, (Log{"step O 1"}));
    other->Movable = false;
    log.clear();
    root.Move(1);
    EXPECT_EQ(log, Log{});
}

TEST_F(SpriteTree, OffScreenSpritesAreCulledButTheirChildrenVisited) {
    auto* edge = Make("edge");
    Place(*edge, 800, 0); // touches the viewport's right edge only
    auto* left = Make("left");
    Place(*left, -10, 0);
    auto* inside = Make("in", left);
    Place(*inside, 20, 0); // absolute x 10
    auto* corner = Make("corner");
    Place(*corner, -9.5, -9.5); // truncates to -9: one pixel on screen
    EXPECT_EQ(Rendered(), (Log{"render corner", "render in"}));
}

TEST_F(SpriteTree, AbsolutePositionAddsParentPositions) {
    auto* a = Make("A");
    auto* b = Make("B", a);
    Place(*a, 10.5, 20);
    Place(*b, 1.25, -5);
    EXPECT_DOUBLE_EQ(b->AbsX(), 11.75);
    EXPECT_DOUBLE_EQ(b->AbsY(), 15);
    EXPECT_EQ(b->GetBounds(), (TRect{11, 15, 21, 25}));
    EXPECT_EQ(b->Engine(), &root);
    EXPECT_EQ(b->Parent(), a);
}

class Spawner : public TRecordingSprite {
  public:
    Spawner(TSprite* parent, std::vector<std::string>& log)
        : TRecordingSprite(parent, "S", log), m_shared(log) {}
    void Step(int moveCount) override {
        TRecordingSprite::Step(moveCount);
        if (!Spawned)
            Spawned = new TRecordingSprite(Parent(), "new", m_shared);
    }
    TRecordingSprite* Spawned = nullptr;

  private:
    std::vector<std::string>& m_shared;
};

TEST_F(SpriteTree, SpriteCreatedDuringMoveWaitsForTheNextMove) {
    auto* spawner = new Spawner(&root, log);
    root.Move(1);
    ASSERT_NE(spawner->Spawned, nullptr);
    EXPECT_EQ(root.ChildCount(), 2);
    EXPECT_EQ(log, (Log{"step S 1"}));
    log.clear();
    root.Move(2);
    EXPECT_EQ(log, (Log{"step S 2", "step new 2"}));
}

TEST_F(SpriteTree, DeletingDetachesAndFreesChildren) {
    auto* a = Make("A");
    Make("A1", a);
    Make("A2", a);
    auto* b = Make("B");
    delete a;
    EXPECT_EQ(log, (Log{"~A", "~A2", "~A1"}));
    ASSERT_EQ(root.ChildCount(), 1);
    EXPECT_EQ(root.Child(0), b);
    EXPECT_EQ(Rendered(), (Log{"render B"}));
    log.clear();
    root.Clear();
    EXPECT_EQ(log, (Log{"~B"}));
    EXPECT_EQ(root.ChildCount(), 0);
}

TEST_F(SpriteTree, ChildIndexErrors) {
    try {
        root.Child(3);
        FAIL() << "no exception";
    } catch (const ESpriteError& e) {
        EXPECT_STREQ(e.what(), "Index of the list exceeds the range. (3)");
    }
    Make("A");
    EXPECT_THROW(root.Child(1), std::out_of_range);
    EXPECT_THROW(root.Child(-1), std::out_of_range);
}

TEST_F(SpriteTree, SetSurfaceSetsViewportAndDetachKeepsIt) {
    TDirectDrawSurface small(320, 200);
    root.SetSurface(&small);
    EXPECT_EQ(root.Viewport(), (TRect{0, 0, 320, 200}));
    EXPECT_EQ(root.Width, 320);
    EXPECT_EQ(root.Height, 200);
    root.SetSurface(nullptr);
    EXPECT_EQ(root.Surface(), nullptr);
    EXPECT_EQ(root.Viewport(), (TRect{0, 0, 320, 200}));
}

} // namespace
