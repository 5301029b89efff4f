// One spark: a point flying along a fixed heading at a fixed speed, drawn
// each frame as a one-pixel horizontal line in its own colour.
#ifndef SPARKRALLY_EFFECTS_PARTICLE_H
#define SPARKRALLY_EFFECTS_PARTICLE_H

// The particle module's own single-precision pi, equal to the game's pi.
// Motion uses the shared DEG; nothing reads this.
static const float particles_Pi = 3.14159274f;

class Particle
{
  public:
    // Note the argument order: ltime comes before speed. fall starts at 0.
    Particle(double x, double y, double angle, int ltime, double speed, int red, int green,
             int blue, double gravity);

    // Moves the spark one frame along its heading, adds its fall, then ages
    // it by one frame.
    void update();

    // Draws a line from the spark's position one pixel to the right, in its
    // colour, which it leaves current.
    void draw();

    int get_ltime() { return ltime; }

    double x, y;          // pixels, y growing downward
    double angle;         // degrees, never folded
    double speed;         // hundredths of a pixel per frame
    int ltime;            // frames left
    int red, green, blue; // 255 is full
    double fall;          // extra downward step per frame
    double gravity;       // added to fall each frame
};

#endif
