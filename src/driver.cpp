// The computer driver: decides a car's four controls for one step from what a driver can
// see: its own car, the other car and the curves ahead.
//
// It plans along the track, one track step at a time, over a window ahead of the car.
// Each curved step pushes a car outwards by a fixed amount; steering can push back by
// an amount that shrinks with speed. Walking the window backwards from its far end gives,
// for each step ahead, the band of the road from which the car can still keep to the
// road to the end of the window (the corridor). The driver
// - accelerates while it could still brake down to a speed that keeps it on the road
//   through the window, and otherwise rolls, or brakes;
// - steers along the straightest line through the corridor, which hugs the inside of
//   the curves like a racing line;
// - expects the other car to take such a line too, and where the two would meet keeps
//   to one side of it, the side that lets it go faster; where neither side has room it
//   holds back behind it.
// It keeps nothing between steps: the same view always gives the same controls.
#include "sim.h"

#include <algorithm>
#include <cmath>

namespace {

// Steps of track looked at ahead of the car: at full speed about two and a half seconds,
// longer than it takes to brake for any bend.
constexpr int WINDOW = 56;
// Half of the road width the driver plans to use, a little inside ROAD_HALF_WIDTH.
constexpr float USE_HALF_WIDTH = 3.45f;
static_assert(USE_HALF_WIDTH < ROAD_HALF_WIDTH, "the driver plans to stay on the road");
// How far back towards the road the driver expects to come per step when it is off it.
constexpr float RETURN_PER_STEP = 0.2f;
// Sideways push of one curved step, road units (the simulation's drift).
constexpr float CURVE_PUSH = static_cast<float>(CURVE_DRIFT);
// Braking the driver counts on, as a share of what the brake really gives.
constexpr float BRAKE_TRUST = 0.9f;
// The speed it does not accelerate beyond (top speed is 24.5): it keeps a little in hand,
// so that a person who drives well can beat it.
constexpr float CRUISE_SPEED = 24.0f;

// The other car. A car length along the track; coming up behind it the car keeps this far
// from its centre line sideways, and this gap behind it where it cannot pass.
constexpr float CAR_LENGTH = 4.0f;
constexpr float PASS_SIDE = 1.6f + 0.3f;
constexpr float FOLLOW_GAP = 1.0f;
// Level with it (from this far short of a car length behind, up to this far ahead), only
// the bodies must not touch.
constexpr float LEVEL_FROM = 1.3f;
constexpr float ALONGSIDE = 1.6f + 0.2f;
constexpr float PASS_LENGTH = 4.5f;
// What the other car may do before the driver can answer: brake this hard (steps per
// second per second) for this long (seconds), and stray sideways from the line expected of
// it this fast (road units per second), up to a limit.
constexpr float OTHER_BRAKING = 3.0f;
constexpr float BRAKING_FOR = 0.5f;
constexpr float OTHER_WANDER = 0.5f;
constexpr float WANDER_MAX = 0.8f;

// What a car has ahead of it: the sideways push of each of the next WINDOW steps of
// track, measured from where it is.
struct View {
    float push[WINDOW]; // change of x over step k ahead, if the car did not steer
};

View lookAhead(float carZ, const unsigned int* track, unsigned int n) {
    View v;
    // Within the loop first: a stray position must not overflow the step index.
    double z = std::isfinite(carZ) ? std::fmod(static_cast<double>(carZ), n) : 0.0;
    if (z < 0) z += n;
    long long i = std::min(static_cast<long long>(std::floor(z)), static_cast<long long>(n) - 1);
    const float f = static_cast<float>(z - static_cast<double>(i));
    int here = curvatureAt(track, n, i);
    for (int k = 0; k < WINDOW; k++) {
        if (++i == static_cast<long long>(n)) i = 0;
        const int next = curvatureAt(track, n, i);
        v.push[k] = -CURVE_PUSH * ((1.0f - f) * here + f * next);
        here = next;
    }
    return v;
}

// Speed at the start of each step ahead, and the time taken to get there.
struct Plan {
    float speed[WINDOW + 1];
    float time[WINDOW + 1]; // seconds
    float perStep[WINDOW];  // seconds per step of track at the speed of step k
};

float brakingPerStep(float v) {
    // The brake and the resistances on the road, per step of track driven.
    return BRAKE_TRUST * (9.6f + 0.009f * v * v) / std::max(v, 1.0f);
}

void fillTimes(Plan& p) {
    p.time[0] = 0.0f;
    for (int k = 0; k < WINDOW; k++) {
        p.perStep[k] = 1.0f / std::max(p.speed[k], 1.0f);
        p.time[k + 1] = p.time[k] + p.perStep[k];
    }
}

// Holding speed v through the window.
Plan steadyPlan(float v) {
    Plan p;
    for (int k = 0; k <= WINDOW; k++)
        p.speed[k] = v;
    fillTimes(p);
    return p;
}

// Starting at speed v and braking down to speed hold, then holding it.
Plan brakeToPlan(float v, float hold) {
    Plan p;
    p.speed[0] = v;
    for (int k = 0; k < WINDOW; k++)
        p.speed[k + 1] = std::max(hold, p.speed[k] - brakingPerStep(p.speed[k]));
    fillTimes(p);
    return p;
}

// The most the car can move itself sideways over step k of a plan, with the steering at
// full lock (at a speed below 1 it can move a whole road unit per step, more than needed).
// The sideways speed limit allows, per step of track, that limit divided by the speed and
// by the cosine of the steering angle.
float sideAuthority(const Plan& plan, int k) {
    constexpr float fullLock = SIDE_SPEED_LIMIT / 0.70710678f; // cos 45 degrees
    return std::min(1.0f, fullLock * plan.perStep[k]);
}

// The corridor: for each step ahead, the band of x from which the road can be kept.
struct Corridor {
    float lo[WINDOW + 1];
    float hi[WINDOW + 1];
    int usable; // steps of it that hold a band (WINDOW + 1 when all do)
};

// The line a driver takes through a corridor: x at each step ahead. It is the straightest
// line once the curves' push is taken out (a string pulled taut through the corridor),
// which needs the least steering, and so loses the least speed to it.
struct Line {
    float x[WINDOW + 1];
};

// The other car, as the driver sees it and expects it to go on.
struct Other {
    bool present;
    float lead;  // steps it is ahead of the car along the loop (negative: behind)
    float speed; // its speed
    Line line;   // the line expected of it, by steps ahead of it
};

// -1: keep to the left of the other car, +1: to its right.
using Side = int;

// How the two cars meet where the car gets to step k ahead on a plan.
enum Meeting {
    APART,  // the two cars do not meet there
    COMING, // coming up behind it: keep clear sideways, or run into it
    LEVEL,  // level with it: the bodies should not touch, but a brush is no crash
};

// Where the other car may be when the car gets to step k ahead on a plan: the band of x
// it may take up, and how the two meet.
Meeting otherBlocks(const Other& o, const Plan& plan, int k, float& lo, float& hi) {
    if (!o.present) return APART;
    const float t = plan.time[k];
    // How far it gets meanwhile if it brakes for a moment before the driver can answer.
    const float tb = std::min({t, BRAKING_FOR, o.speed / OTHER_BRAKING});
    const float slower = o.speed - OTHER_BRAKING * tb;
    const float travelled = o.speed * tb - 0.5f * OTHER_BRAKING * tb * tb + slower * (t - tb);
    const float lead = o.lead + travelled - static_cast<float>(k);
    if (lead <= -PASS_LENGTH || lead >= CAR_LENGTH + FOLLOW_GAP) return APART;
    const float j = std::clamp(travelled, 0.0f, static_cast<float>(WINDOW));
    const int j0 = std::min(static_cast<int>(j), WINDOW - 1);
    const float x = o.line.x[j0] + (j - j0) * (o.line.x[j0 + 1] - o.line.x[j0]);
    const float wander = std::min(WANDER_MAX, OTHER_WANDER * t);
    // A car counts as running into the back of the other from a whole step's travel short
    // of a car length: the simulation looks at where the other car has got to against
    // where the car behind started the step.
    const bool coming = lead > CAR_LENGTH - LEVEL_FROM;
    const float reach = (coming ? PASS_SIDE : ALONGSIDE) + wander;
    lo = x - reach;
    hi = x + reach;
    return coming ? COMING : LEVEL;
}

// Builds the corridor for a plan from its far end back to the car, keeping to one side of
// the other car where the two meet (no other car: o null); true when the car, at x0 now,
// can keep inside it.
bool buildCorridor(const View& view, const Plan& plan, float x0, const Other* o, Side side,
                   Corridor& c) {
    const float outside = std::fabs(x0);
    c.usable = WINDOW + 1;
    c.lo[WINDOW] = -USE_HALF_WIDTH;
    c.hi[WINDOW] = USE_HALF_WIDTH;
    for (int k = WINDOW - 1; k >= 0; k--) {
        const float a = sideAuthority(plan, k);
        float lo = c.lo[k + 1] - view.push[k] - a;
        float hi = c.hi[k + 1] - view.push[k] + a;
        // Off the road, the way back may take a few steps.
        const float limit = std::max(USE_HALF_WIDTH, outside - RETURN_PER_STEP * k);
        lo = std::max(lo, -limit);
        hi = std::min(hi, limit);
        float blockLo, blockHi;
        const Meeting meeting = o && k > 0 ? otherBlocks(*o, plan, k, blockLo, blockHi) : APART;
        if (meeting == LEVEL) {
            // Level with it, give it room up to the edge of the road, and no further.
            blockLo = std::max(blockLo, -limit + 0.1f);
            blockHi = std::min(blockHi, limit - 0.1f);
        }
        if (meeting != APART) {
            if (side < 0)
                hi = std::min(hi, blockLo);
            else
                lo = std::max(lo, blockHi);
        }
        if (lo > hi) {
            // No band here: the steps before it cannot be planned either.
            c.usable = k + 1;
            for (int j = k; j >= 0; j--) {
                c.lo[j] = -limit;
                c.hi[j] = limit;
            }
            return false;
        }
        c.lo[k] = lo;
        c.hi[k] = hi;
    }
    return x0 >= c.lo[0] - 0.05f && x0 <= c.hi[0] + 0.05f;
}

// 1 / k for the steps of the window, to spare divisions in the line search.
struct Inverses {
    float of[WINDOW + 1];
    constexpr Inverses() : of() {
        for (int k = 1; k <= WINDOW; k++)
            of[k] = 1.0f / static_cast<float>(k);
    }
};
constexpr Inverses INVERSE;

// The first leg of the straightest line from step k0 at y0 through the corridor, with the
// curves' push taken out (y = x - push so far): its slope, and the step where it ends.
float firstLeg(const Corridor& c, const float* pushed, int k0, float y0, int& end) {
    float slopeLo = -1e9f, slopeHi = 1e9f;
    int atLo = c.usable - 1, atHi = c.usable - 1;
    for (int k = k0 + 1; k < c.usable; k++) {
        const float perStep = INVERSE.of[k - k0];
        const float lo = (c.lo[k] - pushed[k] - y0) * perStep;
        const float hi = (c.hi[k] - pushed[k] - y0) * perStep;
        if (lo > slopeHi) { // the line bends round the upper bound first
            end = atHi;
            return slopeHi;
        }
        if (hi < slopeLo) { // ... round the lower bound first
            end = atLo;
            return slopeLo;
        }
        if (lo > slopeLo) {
            slopeLo = lo;
            atLo = k;
        }
        if (hi < slopeHi) {
            slopeHi = hi;
            atHi = k;
        }
    }
    end = c.usable - 1;
    return std::clamp(0.0f, slopeLo, slopeHi);
}

// The curves' push summed from the car to each step ahead.
void pushedSoFar(const View& view, float* pushed) {
    pushed[0] = 0.0f;
    for (int k = 0; k < WINDOW; k++)
        pushed[k + 1] = pushed[k] + view.push[k];
}

// The whole straightest line from x0 through the corridor.
Line straightestLine(const View& view, const Corridor& c, float x0) {
    float pushed[WINDOW + 1];
    pushedSoFar(view, pushed);
    Line line;
    line.x[0] = x0;
    int k0 = 0;
    float y0 = x0;
    while (k0 < c.usable - 1) {
        int end = k0;
        const float slope = firstLeg(c, pushed, k0, y0, end);
        end = std::max(end, k0 + 1);
        for (int k = k0 + 1; k <= end; k++)
            line.x[k] = y0 + slope * (k - k0) + pushed[k];
        y0 += slope * (end - k0);
        k0 = end;
    }
    for (int k = std::max(k0, 0) + 1; k <= WINDOW; k++)
        line.x[k] = line.x[k0];
    return line;
}

// The steering angle (a multiple of the steering rate, positive to the left) that moves
// the car sideways by move road units per step of track at speed v.
int steerFor(float move, float v) {
    const float want = std::fabs(move);
    int best = 0;
    float bestError = want;
    for (int a = STEER_RATE; a <= STEER_LIMIT; a += STEER_RATE) {
        const float tan = tableSin[a] / tableCos[a];
        const float capped = SIDE_SPEED_LIMIT / (std::max(v, 0.01f) * tableCos[a]);
        const float error = std::fabs(std::min(tan, capped) - want);
        if (error < bestError) {
            bestError = error;
            best = a;
        }
    }
    return move > 0 ? -best : best; // moving right (larger x) means steering right
}

// The other car, unless it is behind the car (its own driver's business), far out in the
// fields, or not to be made out.
Other seeOther(const Player& me, const Player& other, const unsigned int* track, unsigned int n) {
    Other o{};
    if (!std::isfinite(other.z) || !std::isfinite(other.x) || !std::isfinite(other.speed) ||
        !std::isfinite(me.z))
        return o;
    double lead = std::fmod(static_cast<double>(other.z) - me.z, static_cast<double>(n));
    if (lead < -0.5 * n) lead += n;
    if (lead > 0.5 * n) lead -= n;
    if (lead <= -PASS_LENGTH || lead > 2.0 * WINDOW) return o;
    if (std::fabs(other.x) > 3.0f * USE_HALF_WIDTH) return o;
    o.present = true;
    o.lead = static_cast<float>(lead);
    o.speed = std::clamp(other.speed, 0.0f, 100.0f);
    // It is expected to hold its speed on the straightest line through its own corridor.
    const View view = lookAhead(other.z, track, n);
    const float x = std::clamp(other.x, -100.0f, 100.0f);
    Corridor c;
    buildCorridor(view, steadyPlan(o.speed), x, nullptr, 0, c);
    o.line = straightestLine(view, c, x);
    return o;
}

// Speed after one step with the given pedals.
float speedAfter(const Player& me, bool accelerate, bool brake) {
    Player p = me;
    updateSpeed(p, accelerate, brake);
    return p.speed;
}

// The highest steady speed, up to top, at which the car can keep inside the road from
// where it is through the whole window. Most of the time it can at the speed it has, and
// one look settles it.
float steadyLimit(const View& view, float x0, float top) {
    Corridor c;
    if (buildCorridor(view, steadyPlan(top), x0, nullptr, 0, c)) return top;
    float lo = 0.0f, hi = top;
    for (int i = 0; i < 6; i++) {
        const float mid = 0.5f * (lo + hi);
        if (buildCorridor(view, steadyPlan(mid), x0, nullptr, 0, c))
            lo = mid;
        else
            hi = mid;
    }
    return lo;
}

enum Pedal { ACCELERATE, ROLL, BRAKE };

struct Decision {
    Pedal pedal;
    Side side;
    bool squeezed;     // no plan keeps to the road and clear of the other car
    Plan plan;         // the speeds it expects ahead
    Corridor corridor; // and the band of road that keeps it on the road at them
};

// The plans the driver weighs, boldest first: the pedal for this step, then braking down
// to a speed held through the window.
struct Choice {
    Pedal pedal;
    bool follow; // hold back to the other car's speed rather than to what the road allows
};
constexpr Choice CHOICES[] = {
    {ACCELERATE, false}, {ROLL, false}, {ROLL, true}, {BRAKE, true}, {BRAKE, false}};

constexpr int PLANS = static_cast<int>(sizeof CHOICES / sizeof CHOICES[0]);

// Tries the first count plans on one side of the other car (or with no other car), boldest
// first; returns the rank of the first that keeps the car on the road and clear of the
// other car, or count when none does.
int bestOnSide(const Player& me, const View& view, const Other* o, Side side, float roadLimit,
               int count, Decision& d) {
    const float followSpeed = o ? std::min(roadLimit, o->speed - 0.5f) : roadLimit;
    for (int rank = 0; rank < count; rank++) {
        const Choice& c = CHOICES[rank];
        if (c.follow && !o) continue;
        d.pedal = c.pedal;
        d.side = side;
        const float hold = c.follow ? followSpeed : c.pedal == BRAKE ? 0.0f : roadLimit;
        d.plan = brakeToPlan(speedAfter(me, c.pedal == ACCELERATE, c.pedal == BRAKE),
                             std::max(0.0f, hold));
        if (buildCorridor(view, d.plan, me.x, o, side, d.corridor)) return rank;
    }
    return count;
}

// The boldest pedal after which the car can still brake down to a speed that keeps it on
// the road through the window, on the side of the other car that allows the boldest.
Decision decide(const Player& me, const View& view, const Other& o) {
    // No plan goes faster than accelerating now: the limit matters only below that.
    const float roadLimit = steadyLimit(view, me.x, speedAfter(me, true, false));
    Decision d{};
    if (!o.present) {
        bestOnSide(me, view, nullptr, 0, roadLimit, PLANS, d);
        return d;
    }
    // The side the car is on now goes first, and keeps ties: the other side is only worth
    // a look for a bolder plan.
    const Side here = me.x < o.line.x[0] ? -1 : 1;
    int rank = bestOnSide(me, view, &o, here, roadLimit, PLANS, d);
    if (rank > 0) {
        Decision there{};
        const int rankThere = bestOnSide(me, view, &o, -here, roadLimit, rank, there);
        if (rankThere < rank) {
            d = there;
            rank = rankThere;
        }
    }
    if (rank == PLANS) {
        // Squeezed: the other car takes the room the car needs. Drop back behind it while
        // there is room sideways to do so; level with it and without that room, dropping
        // back would bring the car's nose into its tail: keep level, at a speed the road
        // allows. Either way, steer away from it (below).
        d.squeezed = true;
        d.side = here;
        const bool level = o.lead < CAR_LENGTH - LEVEL_FROM;
        const bool room = std::fabs(me.x - o.line.x[0]) > PASS_SIDE;
        const bool roadAllows = speedAfter(me, true, false) <= roadLimit;
        d.pedal = !level || room ? BRAKE : roadAllows ? ACCELERATE : ROLL;
    }
    return d;
}

} // namespace

Controls computerControls(const Player& me, const Player& other, const unsigned int* track,
                          unsigned int n) {
    Controls out{false, false, true, false};
    if (track == nullptr || n == 0 || !std::isfinite(me.x) || !std::isfinite(me.speed)) return out;

    const View view = lookAhead(me.z, track, n);
    const Other o = seeOther(me, other, track, n);

    Decision d = decide(me, view, o);
    if (d.pedal == ACCELERATE && speedAfter(me, true, false) > CRUISE_SPEED) d.pedal = ROLL;
    out.accelerate = d.pedal == ACCELERATE;
    out.brake = d.pedal == BRAKE;

    // Steer along the straightest line through the corridor of the speeds planned: its
    // first leg is all this step needs.
    float pushed[WINDOW + 1];
    pushedSoFar(view, pushed);
    int end = 0;
    float move = firstLeg(d.corridor, pushed, 0, me.x, end);
    if (d.squeezed) {
        // Away from the other car, as far as the road allows.
        const float clear = o.line.x[0] + d.side * (PASS_SIDE + WANDER_MAX);
        const float want = std::clamp(clear, -USE_HALF_WIDTH, USE_HALF_WIDTH);
        move = want - me.x - view.push[0];
    }
    const int target = steerFor(move, d.plan.speed[0]);

    if (me.steer < target)
        out.left = true;
    else if (me.steer > target)
        out.right = true;
    else
        out.left = out.right = true; // hold the steering where it is
    return out;
}
