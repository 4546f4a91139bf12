// The race simulation: start sequence, driving, collisions between the two cars, laps
// and the finish. One call of simStep is one frame, 1/20 s.
#include "sim.h"

#include "sdltk.h"
#include "sound.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>

int32_t state = 0;
int32_t stateTick = 0;
int32_t simLights = 0;
int32_t simExitToMenu = 0;

float brakeForce = 9000.0f;

// ---------------------------------------------------------------------------------
// Vehicle motion
// ---------------------------------------------------------------------------------

namespace {

constexpr double STEP_S = 0.05;        // one simulation step, in seconds
constexpr double DRIVE_FORCE = 6000.0; // while accelerate is held
constexpr double CAR_MASS = 1000.0;    // the net force is divided by it
constexpr int STEER_TABLE_LAST = 90;   // last entry of tableSin and tableCos
// The move the sideways speed limit allows in a step.
constexpr float SIDE_MOVE_LIMIT = 0.20833333f;
// Pose thresholds: steering angles in degrees, shares of the sideways speed limit.
constexpr int LEAN_SOFT_ANGLE = 10;
constexpr int LEAN_HARD_ANGLE = 20;
constexpr double LEAN_MIN_RATIO = 0.3;
constexpr double LEAN_HARD_RATIO = 0.7;
// Line crossings that complete a race: the first comes right after the start.
constexpr int32_t FINISH_CROSSINGS = 4;

bool isOnRoad(const Player& p) {
    return p.x > -ROAD_HALF_WIDTH && p.x < ROAD_HALF_WIDTH;
}

// A double stored as float, clamped to the float range rather than overflowing.
float toFloat(double v) {
    if (v > FLT_MAX) return FLT_MAX;
    if (v < -FLT_MAX) return -FLT_MAX;
    return static_cast<float>(v);
}

// |steer| as an index into the angle tables, whatever the value.
int steerIndex(int32_t steer) {
    long long a = std::llabs(static_cast<long long>(steer));
    return static_cast<int>(std::min<long long>(a, STEER_TABLE_LAST));
}

// Sum of the curvature over one whole lap.
double lapCurvature(const unsigned int* track, unsigned int n) {
    long long sum = 0;
    for (unsigned int k = 0; k < n; k++)
        sum += curvatureAt(track, n, k);
    return static_cast<double>(sum);
}

// Brings z into [0, n) after a move of more than a lap (only possible on very short
// tracks); zOld follows by the same amount so that line crossings still count.
void wrapWholeLaps(float& z, float& zOld, unsigned int n) {
    double loop = n;
    if ((z >= 0 && z < loop) || !std::isfinite(z)) return;
    double within = std::fmod(static_cast<double>(z), loop); // exact
    if (within < 0) within += loop;
    zOld = toFloat(static_cast<double>(zOld) - z + within);
    z = static_cast<float>(within);
    if (z >= loop) { // rounded up to the end of the loop
        z = 0.0f;
        zOld = toFloat(zOld - loop);
    }
}

} // namespace

int curvatureAt(const unsigned int* track, unsigned int n, long long k) {
    k %= static_cast<long long>(n);
    if (k < 0) k += n;
    switch ((track[k] >> 8) & 0xFF) {
    case 0x01:
        return 1;
    case 0xFF:
        return -1;
    default:
        return 0;
    }
}

void simStepTurn(Player& p, int left, int right) {
    long long steer = p.steer; // wide, so that a stray value cannot overflow
    if (left && !right)
        steer += STEER_RATE;
    else if (right && !left)
        steer -= STEER_RATE;
    else if (!left && !right) {
        if (steer < 0)
            steer += STEER_RATE;
        else if (steer > 0)
            steer -= STEER_RATE;
    }
    p.steer = static_cast<int32_t>(std::clamp<long long>(steer, -STEER_LIMIT, STEER_LIMIT));
}

float airDrag(float speed, bool onRoad) {
    // Evaluated in float: an absurd speed gives infinity, never an out-of-range conversion.
    return (onRoad ? 9.0f : 20.0f) * speed * speed;
}

float rollDrag(bool onRoad) {
    return onRoad ? 600.0f : 4800.0f;
}

void updateSpeed(Player& p, bool accelerate, bool brake) {
    bool onRoad = isOnRoad(p);
    double force = accelerate ? DRIVE_FORCE : 0.0;
    if (brake) force -= brakeForce;
    force = force - airDrag(p.speed, onRoad) - rollDrag(onRoad);
    double v = p.speed + force / CAR_MASS * STEP_S;
    // Resistance stops the car, it never drives it backwards (a NaN also ends at 0).
    p.speed = v >= 0 ? toFloat(v) : 0.0f;
}

void advancePos(Player& p) {
    int a = steerIndex(p.steer);
    float v = p.speed;
    p.z = toFloat(p.z + STEP_S * v * tableCos[a]);

    float side = toFloat(static_cast<double>(v) * tableSin[a]);
    float ratio, move;
    if (side > SIDE_SPEED_LIMIT) {
        ratio = 1.0f;
        move = SIDE_MOVE_LIMIT;
    } else {
        ratio = static_cast<float>(side / static_cast<double>(SIDE_SPEED_LIMIT));
        move = static_cast<float>(STEP_S * side);
    }

    int k;
    if (a <= LEAN_SOFT_ANGLE)
        k = 0;
    else if (a <= LEAN_HARD_ANGLE)
        k = 1;
    else
        k = ratio >= LEAN_HARD_RATIO ? 2 : 1;
    if (ratio < LEAN_MIN_RATIO) // too slow to show a turn
        k = 0;

    if (p.steer < 0) { // steering right
        p.x = toFloat(p.x + static_cast<double>(move));
        p.lean = k;
    } else {
        p.x = toFloat(p.x - static_cast<double>(move));
        p.lean = -k;
    }
}

void simStepAdjustEnd(Player& p, float zOld, unsigned int* track, unsigned int n) {
    if (n == 0) return;
    double loop = n;
    if (p.z < 0) {
        p.z = toFloat(p.z + loop);
        zOld = toFloat(zOld + loop);
    }
    if (p.z >= loop) {
        p.z = toFloat(p.z - loop);
        zOld = toFloat(zOld - loop);
    }
    wrapWholeLaps(p.z, zOld, n);

    double line = loop - FINISH_LINE_FROM_END;
    if (zOld < line && p.z >= line) {
        p.laps++;
        if (p.laps == FINISH_CROSSINGS) p.finished = 1;
    }

    if (zOld != p.z) adjustX(p.x, zOld, p.z, track, n);
}

void adjustX(float& x, float zFrom, float zTo, unsigned int* track, unsigned int n) {
    if (zFrom == zTo) return;
    // Positions that are not numbers, or no track, leave nothing to integrate.
    if (n == 0 || track == nullptr || !std::isfinite(zFrom) || !std::isfinite(zTo)) return;
    double lo = std::min(zFrom, zTo);
    double hi = std::max(zFrom, zTo);
    double factor = zTo > zFrom ? -CURVE_DRIFT : CURVE_DRIFT;

    // Integral of the curvature over [lo, hi], each step k covering [k, k + 1). The
    // curves repeat every lap: start within the first lap and count whole laps at once,
    // so that the loop below never runs over more than one lap of steps.
    double span = hi - lo;
    double start = std::fmod(lo, static_cast<double>(n));
    if (start < 0) start += n;
    double sum = 0.0;
    double laps = std::floor(span / n);
    if (laps >= 1) {
        sum += laps * lapCurvature(track, n);
        span = std::clamp(span - laps * n, 0.0, static_cast<double>(n));
    }
    double end = start + span;
    long long i = static_cast<long long>(std::floor(start));
    long long j = static_cast<long long>(std::floor(end));
    sum += curvatureAt(track, n, i) * (1.0 - (start - i));
    for (long long k = i + 1; k <= j; k++)
        sum += curvatureAt(track, n, k);
    sum -= curvatureAt(track, n, j) * (1.0 - (end - j));

    x = toFloat(x + factor * sum);
}

int speed2fnum(float speed) {
    double i = std::floor(10.0 * speed);
    if (!(i >= 0)) // negative, or not a number
        return motorFnum[0];
    if (i >= MOTOR_FNUM_COUNT - 1) return motorFnum[MOTOR_FNUM_COUNT - 1];
    return motorFnum[static_cast<int>(i)];
}

// ---------------------------------------------------------------------------------
// Collisions
// ---------------------------------------------------------------------------------

namespace {

constexpr double CAR_WIDTH = 1.6;
constexpr double CAR_LENGTH = 4.0;
constexpr double CONTACT_MARGIN = 0.1;   // added to every separation
constexpr double CRASH_SPEED_KEPT = 0.6; // share of speed that survives a rear-end hit
// Crash loudness: quietest up to this closing speed, loudest 8 steps per second above.
constexpr double CRASH_SOFT_SPEED = 4.0;
constexpr int CRASH_MIN_VOL = 40;
constexpr int CRASH_MAX_VOL = 63;

// Pushes p left and q right by the same amount, to 1.7 apart.
void pushApart(Player& p, Player& q, double gap) {
    double h = (CAR_WIDTH - gap + CONTACT_MARGIN) * 0.5;
    q.x = toFloat(q.x + h);
    p.x = toFloat(p.x - h);
}

} // namespace

int crashSpeedToVol(float closingSpeed) {
    double vol = std::floor(CRASH_MIN_VOL + (closingSpeed - CRASH_SOFT_SPEED) * 0.125 *
                                                (CRASH_MAX_VOL - CRASH_MIN_VOL));
    if (!(vol > CRASH_MIN_VOL)) // also for a NaN closing speed
        return CRASH_MIN_VOL;
    if (vol > CRASH_MAX_VOL) return CRASH_MAX_VOL;
    return static_cast<int>(vol);
}

bool isZClose(const Player& p, const Player& q, unsigned int n) {
    double d = std::fabs(static_cast<double>(p.z) - q.z);
    d = std::min(d, std::fabs(static_cast<double>(p.z) + n - q.z));
    d = std::min(d, std::fabs(static_cast<double>(p.z) - n - q.z));
    return d <= CAR_LENGTH;
}

void collideZ(Player& p, float zOldP, Player& q, float /*zOldQ*/, unsigned int n) {
    if (!(std::fabs(static_cast<double>(q.x) - p.x) <= CAR_WIDTH)) return;
    double pNose = static_cast<double>(p.z) + CAR_LENGTH;
    double startNose = static_cast<double>(zOldP) + CAR_LENGTH;
    double overlap;
    if (q.z > startNose && pNose >= q.z)
        overlap = pNose - q.z + CONTACT_MARGIN;
    else if (q.z + static_cast<double>(n) > startNose && pNose >= q.z + static_cast<double>(n))
        overlap = pNose - (q.z + static_cast<double>(n)) + CONTACT_MARGIN; // across the line
    else
        return;

    q.z = toFloat(q.z + overlap);
    snd_crash(static_cast<unsigned char>(crashSpeedToVol(p.speed - q.speed)));
    float pSpeed = p.speed;
    p.speed = static_cast<float>(CRASH_SPEED_KEPT * q.speed);
    q.speed = static_cast<float>(CRASH_SPEED_KEPT * pSpeed);
}

void collideX(Player& p, float xOldP, Player& q, float xOldQ) {
    if (!(static_cast<double>(xOldQ) - xOldP > CAR_WIDTH))
        return; // the order across the road was not clear
    double gap = static_cast<double>(q.x) - p.x;
    if (gap <= CAR_WIDTH) // touching, or even crossed over: q goes back to the right
        pushApart(p, q, gap);
}

void collideX2(Player& p, float /*xOldP*/, Player& q, float /*xOldQ*/) {
    double gap = static_cast<double>(q.x) - p.x;
    if (gap >= 0 && gap <= CAR_WIDTH) pushApart(p, q, gap);
}

void collide(Player& a, float xa, float za, Player& b, float xb, float zb, unsigned int n) {
    collideZ(a, za, b, zb, n);
    collideZ(b, zb, a, za, n);
    if (isZClose(a, b, n)) {
        collideX(a, xa, b, xb);
        collideX(b, xb, a, xa);
        collideX2(a, xa, b, xb);
        collideX2(b, xb, a, xa);
    }
}

// ---------------------------------------------------------------------------------
// Race state and the race step
// ---------------------------------------------------------------------------------

namespace {

enum RaceState : int32_t { COUNTDOWN = 0, RACING = 1, RUN_OUT = 2 };

enum Lights : int32_t {
    LIGHTS_GONE = 0,
    LIGHTS_DARK = 1,
    LIGHTS_RED = 2,
    LIGHTS_RED_RED = 3,
    LIGHTS_GREEN = 4
};

// Countdown: a light every second, racing from the third.
constexpr int32_t FIRST_RED_TICK = 20;
constexpr int32_t SECOND_RED_TICK = 40;
constexpr int32_t GREEN_TICK = 60;
// Racing: the light panel goes two seconds after the start.
constexpr int32_t LIGHTS_OFF_TICK = 40;
// Run-out: the cars roll for a second, then brake; back to the menu after seven.
constexpr int32_t RUN_OUT_BRAKE_TICK = 20;
constexpr int32_t RUN_OUT_EXIT_TICK = 140;
constexpr int32_t TICK_LIMIT = 1000;

// The driving keys of one car; each pedal has two keys.
struct DriverKeys {
    uint8_t left, right;
    uint8_t accelerate[2];
    uint8_t brake[2];
};

constexpr DriverKeys DRIVER_KEYS[2] = {
    {SC_A, SC_D, {SC_W, SC_LSHIFT}, {SC_S, SC_LCTRL}},
    {SC_LEFT, SC_RIGHT, {SC_UP, SC_RSHIFT}, {SC_DOWN, SC_RCTRL}},
};

bool held(uint8_t code) {
    return getKeyState(code) != 0;
}
bool heldEither(const uint8_t (&codes)[2]) {
    return held(codes[0]) || held(codes[1]);
}

// Who drives each car: the keys, or the computer.
bool computerDrives[2] = {false, false};

// The controls of one car for this step: from its keys, or, for a car the computer
// drives, from the computer (its keys then do nothing).
Controls controlsOf(int player, const Player& me, const Player& other, const unsigned int* track,
                    unsigned int n) {
    if (computerDrives[player]) return computerControls(me, other, track, n);
    const DriverKeys& keys = DRIVER_KEYS[player];
    return {held(keys.left), held(keys.right), heldEither(keys.accelerate), heldEither(keys.brake)};
}

void updateRaceState() {
    switch (state) {
    case COUNTDOWN:
        if (stateTick == FIRST_RED_TICK) {
            simLights = LIGHTS_RED;
            snd_beepLights(false);
        } else if (stateTick == SECOND_RED_TICK) {
            simLights = LIGHTS_RED_RED;
            snd_beepLights(false);
        } else if (stateTick == GREEN_TICK) {
            simLights = LIGHTS_GREEN;
            snd_beepLights(true);
            stateTick = 0;
            state = RACING;
        }
        break;
    case RACING:
        if (stateTick == LIGHTS_OFF_TICK) simLights = LIGHTS_GONE;
        break;
    case RUN_OUT:
        if (stateTick == RUN_OUT_EXIT_TICK) simExitToMenu = 1;
        break;
    default:
        break;
    }
}

void driveSpeed(Player& p, const Controls& c) {
    bool racing = state == RACING;
    bool runOutBrake = state == RUN_OUT && stateTick >= RUN_OUT_BRAKE_TICK;
    if (racing)
        updateSpeed(p, c.accelerate, c.brake);
    else
        updateSpeed(p, false, runOutBrake); // countdown and run-out ignore the pedals
}

} // namespace

void resetState() {
    state = COUNTDOWN;
    stateTick = 0;
    simLights = LIGHTS_DARK;
    simExitToMenu = 0;
}

void setComputerDriver(int player, bool computer) {
    if (player == 0 || player == 1) computerDrives[player] = computer;
}

bool isComputerDriver(int player) {
    return (player == 0 || player == 1) && computerDrives[player];
}

void simStep(Player& a, Player& b, unsigned int* track, unsigned int n) {
    // Both cars decide from the same moment, before either has moved.
    const Controls ca = controlsOf(0, a, b, track, n);
    const Controls cb = controlsOf(1, b, a, track, n);

    updateRaceState();

    float xa = a.x, za = a.z;
    float xb = b.x, zb = b.z;

    simStepTurn(a, ca.left, ca.right);
    simStepTurn(b, cb.left, cb.right);

    driveSpeed(a, ca);
    driveSpeed(b, cb);

    advancePos(a);
    advancePos(b);

    collide(a, xa, za, b, xb, zb, n);

    simStepAdjustEnd(a, za, track, n);
    simStepAdjustEnd(b, zb, track, n);

    if (state == RACING && (a.finished || b.finished)) {
        for (Player* p : {&a, &b}) {
            if (p->finished)
                p->place = 1;
            else if (p->place == 0)
                p->place = 2;
        }
        state = RUN_OUT;
        stateTick = 0;
    }

    snd_motorFreq(0, speed2fnum(a.speed));
    snd_motorFreq(1, speed2fnum(b.speed));

    if (stateTick < TICK_LIMIT) stateTick++;
}

int getLights() {
    return simLights;
}

int getExitToMenu() {
    return simExitToMenu;
}
