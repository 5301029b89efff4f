// The scene drawn by real SDL and Mesa through the offscreen video driver,
// read back pixel by pixel.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <vector>

#include "effects/pool.h"
#include "effects/random.h"
#include "game/collisions.h"
#include "game/game.h"
#include "graphics/scene.h"
#include "graphics/video.h"
#include "process/run.h"

namespace {

// SDL's offscreen driver on Mesa's software renderer, whatever the session
// exports; set before any test starts SDL.
const bool isolated = (cleanownenv({"SDL_VIDEODRIVER=offscreen", "LIBGL_ALWAYS_SOFTWARE=1"}), true);

// The back buffer as rows from the top of the window, one RGB triple a pixel.
class Frame
{
  public:
    Frame() : px(640 * 480 * 3)
    {
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, 640, 480, GL_RGB, GL_UNSIGNED_BYTE, px.data());
    }
    // OpenGL reads from the bottom row up; the game counts rows from the top.
    const unsigned char *at(int x, int y) const { return &px[((479 - y) * 640 + x) * 3]; }
    bool white(int x, int y) const
    {
        return at(x, y)[0] == 255 && at(x, y)[1] == 255 && at(x, y)[2] == 255;
    }
    bool black(int x, int y) const { return !at(x, y)[0] && !at(x, y)[1] && !at(x, y)[2]; }

  private:
    std::vector<unsigned char> px;
};

// Every lit pixel, with its position, as the test sees it.
struct Lit {
    int x, y;
    unsigned char rgb[3];
};
std::vector<Lit> litpixels(const Frame &f)
{
    std::vector<Lit> out;
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++)
            if (!f.black(x, y))
                out.push_back({x, y, {f.at(x, y)[0], f.at(x, y)[1], f.at(x, y)[2]}});
    return out;
}

class Render : public ::testing::Test
{
  protected:
    static void SetUpTestSuite() { ASSERT_EQ(initgraphics(), 0) << SDL_GetError(); }
    static void TearDownTestSuite() { SDL_Quit(); }
    void SetUp() override
    {
        glClear(GL_COLOR_BUFFER_BIT);
        pointsp = pointse = 0;
    }
};

TEST_F(Render, EmptyFrameIsOpaqueBlack)
{
    // OpenGL's own default is transparent black, so only the set-up's
    // glClearColor gives an alpha of 1.
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(std::vector<GLfloat>(clear, clear + 4), (std::vector<GLfloat>{0, 0, 0, 1}));
    Frame f;
    for (int y = 0; y < 480; y += 7)
        for (int x = 0; x < 640; x += 7)
            ASSERT_TRUE(f.black(x, y)) << x << "," << y;
}

TEST_F(Render, PaddlesFillTheirColumnsWithTheOriginAtTheTopLeft)
{
    playery = 100;
    enemyy = 300;
    drawbars();
    Frame f;
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++) {
            bool left = x >= 2 && x <= 4 && y >= 80 && y < 120;
            bool right = x >= 635 && x <= 637 && y >= 280 && y < 320;
            if (left || right)
                ASSERT_TRUE(f.white(x, y)) << x << "," << y;
            else
                ASSERT_TRUE(f.black(x, y)) << x << "," << y;
        }
}

TEST_F(Render, PipsStandInTheirColumnsAlongTheTop)
{
    pointsp = 2;
    pointse = 3;
    glColor3f(1, 1, 1);
    drawpoints();
    Frame f;
    auto pipcolumn = [](int x) {
        for (int s : {10, 15, 615, 620, 625})
            if (x >= s && x < s + 3)
                return true;
        return false;
    };
    for (int y = 0; y < 20; y++)
        for (int x = 0; x < 640; x++) {
            if (pipcolumn(x) && y >= 2 && y < 15)
                ASSERT_TRUE(f.white(x, y)) << x << "," << y;
            else
                ASSERT_TRUE(f.black(x, y)) << x << "," << y;
        }
}

TEST_F(Render, BallOutlineLiesOnItsRadiusAndLeavesTheCentreBlack)
{
    ball_x = 320;
    ball_y = 240;
    ball_r = 5;
    glColor3f(1, 1, 1);
    drawball();
    Frame f;
    EXPECT_TRUE(f.black(320, 240));
    int lit = 0;
    for (int y = 230; y <= 250; y++)
        for (int x = 310; x <= 330; x++)
            if (!f.black(x, y)) {
                lit++;
                EXPECT_TRUE(f.white(x, y));
                int dx = x - 320, dy = y - 240;
                EXPECT_LE(dx * dx + dy * dy, 6 * 6) << x << "," << y;
                EXPECT_GE(dx * dx + dy * dy, 3 * 3) << x << "," << y;
            }
    EXPECT_GT(lit, 20);
    // Nothing outside the ball's square.
    EXPECT_TRUE(f.black(300, 240));
    EXPECT_TRUE(f.black(320, 220));
}

TEST_F(Render, LargerYIsDrawnLower)
{
    glColor3f(1, 1, 1);
    glBegin(GL_QUADS);
    glVertex3f(0, 0, 0);
    glVertex3f(0, 1, 0);
    glVertex3f(1, 1, 0);
    glVertex3f(1, 0, 0);
    glVertex3f(639, 479, 0);
    glVertex3f(639, 480, 0);
    glVertex3f(640, 480, 0);
    glVertex3f(640, 479, 0);
    glEnd();
    Frame f;
    EXPECT_TRUE(f.white(0, 0));
    EXPECT_TRUE(f.white(639, 479));
    EXPECT_TRUE(f.black(0, 479));
    EXPECT_TRUE(f.black(639, 0));
}

// The lit pixels twenty frames after a paddle bounce at x, once the burst
// has spread out; then the rest of its life, so the next test starts clean.
std::vector<Lit> burst(double x, double heading)
{
    random(12545);
    ball_x = x;
    ball_y = 240;
    ball_angle = heading;
    playery = enemyy = 240;
    checkcollisions();
    for (int i = 0; i < 20; i++) {
        glClear(GL_COLOR_BUFFER_BIT);
        updateparticles();
    }
    std::vector<Lit> lit = litpixels(Frame());
    for (int i = 0; i < 200; i++)
        updateparticles();
    glClear(GL_COLOR_BUFFER_BIT);
    return lit;
}

TEST_F(Render, SparksOfAPlayerPaddleBounceAreBlueAndFlyRight)
{
    std::vector<Lit> lit = burst(0, 200);
    EXPECT_GT(lit.size(), 100u);
    // Red 0, green 0..49, blue 155..254, within the 16-bit visual's rounding.
    for (const Lit &p : lit) {
        ASSERT_LE(p.rgb[0], 8) << p.x << "," << p.y;
        ASSERT_LE(p.rgb[1], 56) << p.x << "," << p.y;
        ASSERT_GE(p.rgb[2], 148) << p.x << "," << p.y;
        ASSERT_GE(p.x, 4);
    }
}

TEST_F(Render, SparksOfAComputerPaddleBounceAreGreenAndFlyLeft)
{
    std::vector<Lit> lit = burst(640, 0);
    EXPECT_GT(lit.size(), 100u);
    for (const Lit &p : lit) {
        ASSERT_LE(p.rgb[0], 104) << p.x << "," << p.y;
        ASSERT_GE(p.rgb[1], 148) << p.x << "," << p.y;
        ASSERT_LE(p.rgb[2], 8) << p.x << "," << p.y;
        ASSERT_LE(p.x, 637);
    }
}

} // namespace
