#include "Previews.h"

#include <array>
#include <cmath>
#include <string>

namespace datagen {

namespace {

constexpr int kLandX = 124;

struct BoatPose {
    std::string Image;
    double X = 0, Y = 0;
    int Steer = 0;
    bool Engine = false, Gun = false, Shield = false, Firing = false, Jumping = false;
    int Frame = 0; // animation pattern used for flame, flash and wake
};

// The player's boat, its attachments and its wake, in the game's drawing order.
void DrawPlayer(PreviewCanvas& c, const PictureSet& r, const BoatPose& b) {
    const double w = c.Width(r, b.Image), h = c.Height(r, b.Image);
    const double cx = b.X + w / 2, cy = b.Y + h / 2;
    c.DrawRotated(r, b.Image, std::trunc(cx), std::trunc(cy), 0.5, 0.5, b.Steer);
    if (b.Engine && !b.Jumping)
        c.DrawRotated(r, "EngineFire", std::trunc(cx - 2), std::trunc(b.Y + h / 2), 0.5, -1.2, b.Steer - 1);
    if (b.Gun)
        c.DrawRotated(r, b.Jumping ? "BoatGunBig" : "BoatGun", std::trunc(cx), std::trunc(cy), 0.5, 0.5,
                      b.Steer);
    if (b.Shield) {
        const char* name = b.Jumping ? "BoatShieldBig" : "BoatShield";
        double ph = c.Height(r, name);
        c.DrawRotated(r, name, std::trunc(cx + (b.Jumping ? 0 : 1)), std::trunc(b.Y + h / 2), 0.5,
                      ph > 0 ? (h / 2) / ph : 0.5, b.Steer);
    }
    if (b.Engine)
        c.DrawRotated(r, b.Jumping ? "BoatEngineBig" : "BoatEngine", std::trunc(cx), std::trunc(b.Y + h / 2),
                      0.5, 0, b.Steer);
    if (b.Gun && b.Firing)
        c.DrawRotated(r, "BoatGunFire", std::trunc(cx - 1), std::trunc(cy), 0.5, 1.4, b.Steer);
    if (!b.Jumping)
        c.DrawRotated(r, "CarAnim", std::trunc(cx), std::trunc(cy), 0.5, 0.5, b.Steer);
}

// A traffic boat with its wake: going up, the wake hangs below; coming down, above.
void DrawTraffic(PreviewCanvas& c, const PictureSet& r, const std::string& name, double x, double y,
                 bool down, int frame) {
    const double w = c.Width(r, name), h = c.Height(r, name);
    const char* wake = down ? "BoatAnim_Inv" : "BoatAnim";
    const double ww = c.Width(r, wake), wh = c.Height(r, wake);
    double wx = std::trunc(x + w / 2 - ww / 2);
    double wy = down ? std::trunc(y - (wh - h)) : std::trunc(y);
    c.Draw(r, wake, wx, wy, frame);
    c.Draw(r, name, x, y);
}

void DrawBox(PreviewCanvas& c, const PictureSet& r, const std::string& bonus, double x, double y) {
    const char* box = x > 392 ? "BoxRight" : "BoxLeft";
    c.Draw(r, box, x, y);
    double bw = c.Width(r, box), bh = c.Height(r, box);
    c.Draw(r, bonus, std::trunc(x + bw / 2 - c.Width(r, bonus) / 2.0),
           std::trunc(y + bh / 2 - c.Height(r, bonus) / 2.0 - 4));
}

void DrawPanels(PreviewCanvas& c, const PictureSet& r, int level, int score, int secondsLeft, int lives,
                const char* powerUp, int powerSeconds, int speedAngle) {
    c.Draw(r, "LeftPanel", 0, 0);
    c.Draw(r, "RightPanel", 799 - c.Width(r, "RightPanel"), 0);
    auto xd = [](int v) {
        unsigned u = static_cast<unsigned>(v) & 0xFFFF;
        return (u > 9) + (u > 99) + (u > 999) + (u > 9999);
    };
    c.Text(5, std::to_string(level), 52 - 5 * xd(level), 80);
    c.Text(2, std::to_string(score), 52 - 4 * xd(score), 172);
    int minutes = secondsLeft / 60, seconds = secondsLeft % 60;
    c.Text(4, std::to_string(minutes / 10), 28, 263);
    c.Text(4, std::to_string(minutes % 10), 43, 263);
    c.Text(4, ":", 58, 261);
    c.Text(4, std::to_string(seconds / 10), 64, 263);
    c.Text(4, std::to_string(seconds % 10), 79, 263);
    c.Text(4, std::to_string(lives), 52 - 5 * xd(lives), 353);

    const std::string held = powerUp ? powerUp : "";
    if (held == "PanelGun")
        c.Draw(r, held, 721, 416);
    else if (held == "PanelEngine")
        c.Draw(r, held, 713, 414);
    else if (held == "PanelShield")
        c.Draw(r, held, 715, 414);
    else
        c.Draw(r, "None", 710, 426);
    if (!held.empty())
        c.Text(6, std::to_string(powerSeconds), 771 - 4 * xd(powerSeconds), 419);
    c.DrawRotated(r, "Pointer", 745, 558, 17.0 / 19, 4.0 / 7, speedAngle);
}

void Scenery(PreviewCanvas& c, const PictureSet& r, int scroll) {
    c.Tile(r, "Land", kLandX, scroll);
    // Banks: left 127..176, right 610..661.
    c.Draw(r, "UmbrellaRed", 132, 40 + scroll % 600);
    c.Draw(r, "BedLeft", 130, 130);
    c.Draw(r, "RoomBlue", 128, 300);
    c.Draw(r, "UmbrellaGreen", 614, 90);
    c.Draw(r, "BedRight", 612, 210);
    c.Draw(r, "RoomRed", 612, 380);
    c.Draw(r, "UmbrellaBlue", 616, 500);
}

void Save(PreviewCanvas& c, const std::filesystem::path& file, std::set<std::string>& missing) {
    c.Save(file);
    missing.insert(c.Missing().begin(), c.Missing().end());
}

} // namespace

void WriteRacePreviews(const PictureSet& r, const PictureSet& menu, const std::filesystem::path& dir,
                       std::set<std::string>& missing) {
    const int boatH = [&] {
        PreviewCanvas probe;
        int h = probe.Height(r, "Boat1_Normal");
        return h > 0 ? h : 80;
    }();

    { // Open water: obstacles, traffic both ways, a box, the player's boat boosting.
        PreviewCanvas c;
        Scenery(c, r, 0);
        c.Draw(r, "Tree", 190, 60);
        c.Draw(r, "Flag", 420, 40);
        c.Draw(r, "Weed", 500, 150);
        c.Draw(r, "Fisher", 250, 200);
        c.Draw(r, "Duck", 470, 260);
        DrawTraffic(c, r, "Boat4", 520, 330, false, 1);
        DrawTraffic(c, r, "Boat7_Inv", 300, 300, true, 2);
        DrawBox(c, r, "Bonus50", 210, 380);
        DrawBox(c, r, "Engine", 540, 470);
        BoatPose p{"Boat1_Normal", 380, 585.0 - boatH, -6, true, false, false, false, false, 1};
        DrawPlayer(c, r, p);
        DrawPanels(c, r, 1, 1250, 65, 3, "PanelEngine", 7, 80);
        Save(c, dir / "race_1.png", missing);
    }
    { // A busy stretch: bridge, ship, explosions, gun firing with the shield up.
        PreviewCanvas c;
        Scenery(c, r, 250);
        c.Draw(r, "BridgeBigLeft", 170, 40);
        c.Draw(r, "BridgeBigRight", 534, 40);
        c.Draw(r, "ShipRight", 260, 150);
        c.Draw(r, "ExplosionBig", 430, 260, 3);
        c.Draw(r, "ExplosionSmall", 240, 300, 2);
        c.Draw(r, "Tramplin", 500, 380);
        DrawTraffic(c, r, "Boat5", 200, 380, false, 0);
        DrawBox(c, r, "Gun", 300, 420);
        BoatPose p{"Boat2_Normal", 330, 585.0 - boatH, 8, false, true, true, true, false, 1};
        DrawPlayer(c, r, p);
        DrawPanels(c, r, 12, 48213, 9, 1, "PanelGun", 5, 106);
        Save(c, dir / "race_2.png", missing);
    }
    { // The finish: the line, the last traffic, a jump.
        PreviewCanvas c;
        Scenery(c, r, 420);
        c.Draw(r, "FinishLine", 177, 90);
        c.Draw(r, "ShipLeft", 400, 200);
        DrawTraffic(c, r, "Boat6", 220, 260, false, 3);
        DrawTraffic(c, r, "Boat8_Inv", 520, 150, true, 0);
        DrawTraffic(c, r, "Boat9", 450, 330, false, 2);
        DrawBox(c, r, "Life", 260, 420);
        DrawBox(c, r, "Shield", 520, 430);
        double bigH = c.Height(r, "Boat3_Big");
        BoatPose p{"Boat3_Big", 360, 585.0 - (bigH > 0 ? bigH : boatH), 0, true, true, false, false, true, 0};
        DrawPlayer(c, r, p);
        DrawPanels(c, r, 99, 65535, 0, 0, nullptr, 0, 128);
        Save(c, dir / "race_3.png", missing);
    }
    { // Questions and banners over the race.
        struct Overlay {
            const char* file;
            int kind; // 0 finish question, 1 banner, 2 time over, 3 name entry, 4 send
        };
        const std::array<Overlay, 5> overlays{{{"race_finish_question.png", 0},
                                               {"race_level_banner.png", 1},
                                               {"race_time_over.png", 2},
                                               {"race_enter_name.png", 3},
                                               {"race_send_result.png", 4}}};
        for (const auto& o : overlays) {
            PreviewCanvas c;
            Scenery(c, r, 100);
            c.Draw(r, "Weed", 300, 120);
            DrawTraffic(c, r, "Boat4", 480, 200, false, 0);
            BoatPose p{"Boat1_Normal", 380, 585.0 - boatH, 0, false, false, false, false, false, 0};
            DrawPlayer(c, r, p);
            DrawPanels(c, r, 3, 8640, 142, 2, nullptr, 0, 0);
            switch (o.kind) {
            case 0:
                DimBehindQuestion(c, 127, 661);
                DrawQuestionWindow(c, r, 400);
                c.Draw(menu, "YesButton", 307, 340, 1);
                c.Draw(menu, "NoButton", 414, 340, 0);
                c.Text(7, "Finish race?", 400, 257, true);
                break;
            case 1:
                c.Text(13, "Level 3", 400, 268, true);
                break;
            case 2:
                c.Text(13, "Your time is over.", 400, 249, true);
                c.Text(13, "Try again, please!", 400, 307, true);
                break;
            case 3: {
                DimBehindQuestion(c, 127, 661);
                DrawQuestionWindow(c, r, 400);
                c.Text(12, "Your score is 8640", 400, 248, true);
                c.Text(12, "Please, enter your name:", 400, 290, true);
                const std::string name = "Marguerite";
                c.Text(12, name, 400, 335, true);
                c.Draw(r, "Cursor", c.TextWidth(12, name) / 2 + 400, 363);
                break;
            }
            default:
                DimBehindQuestion(c, 127, 661);
                DrawQuestionWindow(c, r, 400);
                c.Draw(menu, "YesButton", 315, 344, 0);
                c.Draw(menu, "NoButton", 422, 344, 1);
                c.Text(12, "Send the result", 400, 222, true);
                c.Text(12, "to the World's", 400, 260, true);
                c.Text(12, "Highscores page?", 400, 298, true);
                break;
            }
            Save(c, dir / o.file, missing);
        }
    }
}

} // namespace datagen
