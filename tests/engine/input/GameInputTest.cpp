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

} // namespace
