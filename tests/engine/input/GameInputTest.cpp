#include "engine/input/GameInput.h"
#include "engine/platform/HeadlessPlatform.h"
#include "engine/platform/KeyCodes.h"

#include <gtest/gtest.h>

namespace {

struct InputFixture : ::testing::Test {
    THeadlessPlatform platform;
    TGameInput input{&platform};
    void SetUp() override {
        input.Keyboard.Assigns[isUp] = {vk::Up, 0, vk::Numpad8};
        input.Keyboard.Assigns[InputButton(1)] = {'Z', 0, 0};
    }
};

TEST_F(InputFixture, TwoKeysForOneStateMergeAndReleasingOneKeepsItOn) {
    platform.SetKey(vk::Up, true);
    platform.SetKey(vk::Numpad8, true);
    input.Update();
    EXPECT_TRUE(input.IsOn(isUp));
    platform.SetKey(vk::Up, false);
    input.Update();
    EXPECT_TRUE(input.IsOn(isUp));
    platform.SetKey(vk::Numpad8, false);
    input.Update();
    EXPECT_FALSE(input.IsOn(isUp));
}

TEST_F(InputFixture, NothingIsOnWhileAnotherWindowHasTheFocus) {
    platform.SetKey(vk::Up, true);
    TJoystickState stick;
    stick.Present = true;
    stick.X = 0;
    stick.Buttons = 1;
    platform.SetJoystick(stick);
    platform.SetFocus(false);
    input.Update();
    EXPECT_TRUE(input.States().none());
}

TEST_F(InputFixture, JoystickDeadZoneIsHalfTheTravel) {
    struct Case {
        int x;
        bool left;
    };
    // Axis 0..65535, centre 32767: 40 % to the left is inside the dead zone, fully left is not.
    const Case cases[] = {{32767 - 13107, false}, {0, true}, {32767, false}};
    for (const auto& c : cases) {
        TJoystickState stick;
        stick.Present = true;
        stick.X = c.x;
        platform.SetJoystick(stick);
        input.Update();
        EXPECT_EQ(input.IsOn(isLeft), c.left) << "x " << c.x;
        EXPECT_FALSE(input.IsOn(isRight));
    }
    EXPECT_EQ(TGameJoystick::ConvertAxis(0, 0, 65535, 1000, 50), -1000);
    EXPECT_EQ(TGameJoystick::ConvertAxis(65535, 0, 65535, 1000, 50), 1000);
    EXPECT_EQ(TGameJoystick::ConvertAxis(10, 0, 65535, 1000, 100), 0)
        << "a dead zone of the whole travel reads 0";
}

TEST_F(InputFixture, JoystickButtonZeroAndKeyZBothGiveButton1) {
    TJoystickState stick;
    stick.Present = true;
    stick.Buttons = 1;
    platform.SetJoystick(stick);
    input.Update();
    EXPECT_TRUE(input.IsOn(InputButton(1)));
    platform.SetJoystick(TJoystickState{});
    platform.SetKey('Z', true);
    input.Update();
    EXPECT_TRUE(input.IsOn(InputButton(1)));
}

// ---- Controllers with a mapping ----------------------------------------------------------

struct PadFixture : InputFixture {
    void SetUp() override {
        InputFixture::SetUp();
        platform.PlugPad("Virtual Pad");
        input.Pad.Binds[pbA] = InputButton(8);
        input.Pad.Binds[pbB] = InputButton(5);
    }
};

TEST_F(PadFixture, DpadAndStickGiveTheDirectionsPastTheDeadZone) {
    struct Case {
        const char* what;
        TPadButton button; // kPadButtonCount: none
        int x, y;
        bool up, down, left, right;
    };
    const int edge = TGamePad::kDefaultDeadZone;
    const Case cases[] = {
        {"at rest", kPadButtonCount, 0, 0, false, false, false, false},
        {"d-pad up", pbDpadUp, 0, 0, true, false, false, false},
        {"d-pad down", pbDpadDown, 0, 0, false, true, false, false},
        {"d-pad left", pbDpadLeft, 0, 0, false, false, true, false},
        {"d-pad right", pbDpadRight, 0, 0, false, false, false, true},
        {"stick 40 % left", kPadButtonCount, -13107, 0, false, false, false, false},
        {"stick at the dead zone's edge", kPadButtonCount, -edge, edge, false, false, false, false},
        {"stick just past it", kPadButtonCount, -edge - 1, edge + 1, false, true, true, false},
        {"stick fully up and right", kPadButtonCount, 32767, -32768, true, false, false, true},
        {"d-pad left, stick right", pbDpadLeft, 32767, 0, false, false, true, true},
    };
    for (const Case& c : cases) {
        if (c.button != kPadButtonCount) {
            platform.SetPadButton(c.button, true);
        }
        platform.SetPadAxis(paLeftX, c.x);
        platform.SetPadAxis(paLeftY, c.y);
        input.Update();
        EXPECT_EQ(input.IsOn(isUp), c.up) << c.what;
        EXPECT_EQ(input.IsOn(isDown), c.down) << c.what;
        EXPECT_EQ(input.IsOn(isLeft), c.left) << c.what;
        EXPECT_EQ(input.IsOn(isRight), c.right) << c.what;
        if (c.button != kPadButtonCount) {
            platform.SetPadButton(c.button, false);
        }
    }
    // The right stick and the triggers steer nothing.
    platform.SetPadAxis(paLeftX, 0);
    platform.SetPadAxis(paLeftY, 0);
    platform.SetPadAxis(paRightX, -32768);
    platform.SetPadAxis(paRightTrigger, 32767);
    input.Update();
    EXPECT_TRUE(input.States().none());
}

TEST_F(PadFixture, ButtonsGiveTheStatesTheyAreBoundToAndMergeWithTheKeys) {
    platform.SetPadButton(pbA, true);
    platform.SetPadButton(pbX, true); // bound to nothing
    input.Update();
    EXPECT_EQ(input.States(), TGameInputStates().set(InputButton(8)));
    platform.SetPadButton(pbA, false);
    platform.SetKey('Z', true);
    input.Update();
    EXPECT_EQ(input.States(), TGameInputStates().set(InputButton(1)));
}

TEST_F(PadFixture, AHeldButtonKeepsWhatItStoodForWhenPressedUntilLetGo) {
    platform.SetPadButton(pbB, true);
    input.Update();
    ASSERT_TRUE(input.IsOn(InputButton(5)));
    // The game rebinds B (a question opened); the held B is still Esc, not the answer.
    input.Pad.Binds[pbB] = InputButton(7);
    input.Update();
    EXPECT_TRUE(input.IsOn(InputButton(5)));
    EXPECT_FALSE(input.IsOn(InputButton(7)));
    platform.SetPadButton(pbB, false);
    input.Update();
    EXPECT_TRUE(input.States().none());
    platform.SetPadButton(pbB, true);
    input.Update();
    EXPECT_EQ(input.States(), TGameInputStates().set(InputButton(7)));
}

TEST_F(PadFixture, ATapBetweenTwoReadsCountsOnce) {
    platform.SetPadButton(pbA, true);
    platform.SetPadButton(pbA, false);
    input.Update();
    EXPECT_TRUE(input.IsOn(InputButton(8)));
    input.Update();
    EXPECT_FALSE(input.IsOn(InputButton(8)));
}

TEST_F(PadFixture, NothingWithoutFocusOrOnceUnplugged) {
    platform.SetPadButton(pbA, true);
    platform.SetFocus(false);
    input.Update();
    EXPECT_TRUE(input.States().none());
    platform.SetFocus(true);
    input.Update();
    EXPECT_TRUE(input.IsOn(InputButton(8)));
    platform.UnplugPad();
    input.Update();
    EXPECT_TRUE(input.States().none());
    EXPECT_FALSE(input.Pad.Present());
}

} // namespace
