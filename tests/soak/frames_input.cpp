#include "frames_input.h"

#include <algorithm>

#include "doubles/recorder.h"
#include "game/game.h"

namespace {

class Bytes
{
  public:
    Bytes(const uint8_t *d, size_t n) : data(d), size(n) {}
    bool empty() const { return at >= size; }
    unsigned next() { return at < size ? data[at++] : 0; }
    unsigned word() { return next() | next() << 8; }

  private:
    const uint8_t *data;
    size_t size, at = 0;
};

// One event from a type selector and its fields; true for a close request.
bool queueevent(unsigned type, unsigned a, unsigned b, long long &events)
{
    using namespace doubles;
    SDL_Event e;
    switch (type % 8) {
    case 0:
        e = motion(int(b), int(a));
        break;
    case 1:
        e = keydown(SDLKey(a % SDLK_LAST));
        break;
    case 2:
        e = keyup(SDLKey(a % SDLK_LAST));
        break;
    case 3:
        e = closerequest();
        break;
    case 4:
        e = other(SDL_ACTIVEEVENT);
        break;
    case 5:
        e = other(SDL_MOUSEBUTTONDOWN);
        break;
    case 6:
        e = other(SDL_MOUSEBUTTONUP);
        break;
    default:
        e = other(Uint8(a));
        break;
    }
    state.queue.push_back(e);
    events++;
    return e.type == SDL_QUIT || (e.type == SDL_KEYDOWN && state.keys[SDLK_ESCAPE]);
}

} // namespace

Watched runinput(const uint8_t *data, size_t size)
{
    using namespace doubles;
    Watched w;
    Bytes in(data, size);
    int idle = 0, follow = 0, offset = 0;
    Feed feed = [&](int) {
        if (idle > 0) {
            idle--;
            return false;
        }
        if (follow > 0) {
            follow--;
            queueevent(0, unsigned(std::clamp(int(ball_y) + offset, 0, 65535)), 100, w.events);
            return false;
        }
        if (in.empty()) {
            state.queue.push_back(closerequest());
            return true;
        }
        unsigned c = in.next();
        bool asked = false;
        switch (c >> 6) {
        case 0: {
            state.keys[SDLK_ESCAPE] = (c & 0x10) ? 1 : 0;
            for (unsigned i = 0; i < (c & 0x0F); i++) {
                unsigned type = in.next();
                asked = queueevent(type, in.word(), in.word(), w.events) || asked;
            }
            break;
        }
        case 1:
            idle = int(c & 0x3F) * 4;
            break;
        case 2:
            follow = 15;
            offset = int(c & 0x3F) - 32;
            queueevent(0, unsigned(std::clamp(int(ball_y) + offset, 0, 65535)), 100, w.events);
            break;
        default: {
            uint32_t s = in.next() * 2654435761u + 1;
            unsigned n = std::min(1000u * (c & 0x3F), 10000u);
            for (unsigned i = 0; i < n; i++) {
                s = s * 1103515245u + 12345u;
                asked = queueevent(s >> 24, (s >> 8) & 0xFFFF, s & 0x3FF, w.events) || asked;
            }
            break;
        }
        }
        return asked;
    };
    watchrun(feed, int(std::min<size_t>(size * 253 + 64, 2000000)), w);
    return w;
}
