// The race simulation: the state of each car, the start sequence and the end of a race,
// motion along and across the track, collisions between the two cars, and the
// computer driver that can take a car. Plain code: it reads keys through getKeyState and
// makes sounds through the snd_ entry points.
#pragma once

#include <cstdint>

// The whole state of one car.
struct Player {
    int32_t laps;     // forward crossings of the start/finish line (4 = three laps done)
    int32_t steer;    // degrees, -45..45, multiple of 3; positive steers left
    int32_t lean;     // drawing pose -2..2 (negative while steering left)
    int32_t finished; // 1 from the step in which laps reaches 4
    int32_t place;    // 0 undecided, 1 winner, 2 second
    float speed;      // track steps per second, never negative
    float x;          // road units across the track, 0 the middle, positive to the right
    float z;          // track steps along the loop, in [0, n) after every step
};

// ---------------------------------------------------------------------------------
// Race state
// ---------------------------------------------------------------------------------

// 0 countdown, 1 racing, 2 run-out.
extern int32_t state;
// Steps since the last change of state; stops at 1000.
extern int32_t stateTick;
// Start-light phase: 1 dark, 2 one red, 3 two red, 4 green, 0 gone.
extern int32_t simLights;
// 1 once the race asks to return to the menu.
extern int32_t simExitToMenu;

// The start/finish line lies this many steps before the end of a track's step table.
constexpr unsigned FINISH_LINE_FROM_END = 4;

// Starts a race: countdown, lights dark, no exit request.
void resetState();
// Advances the race by one 1/20 s step: lights, steering, pedals, motion, collisions,
// laps, finish and engine pitch.
void simStep(Player& a, Player& b, unsigned int* track, unsigned int n);
// The current start-light phase.
int getLights();
// Non-zero once the race asks the game shell to return to the menu.
int getExitToMenu();

// ---------------------------------------------------------------------------------
// Vehicle motion
// ---------------------------------------------------------------------------------

// The rules of motion that a driver plans with (the computer driver reads them too).
// A car is on the road strictly inside +-ROAD_HALF_WIDTH road units.
constexpr float ROAD_HALF_WIDTH = 3.5f;
// Steering moves STEER_RATE degrees per step, up to STEER_LIMIT degrees either way.
constexpr int STEER_RATE = 3;
constexpr int STEER_LIMIT = 45;
// Sideways speed limit, 25/6 road units per second.
constexpr float SIDE_SPEED_LIMIT = 4.1666665f;
// A curved step pushes a car this far outwards, in road units, per step driven over it.
constexpr double CURVE_DRIFT = 0.6;

// Braking force while brake is held.
extern float brakeForce;
// sin and cos of 0..90 whole degrees (these tables are generated into sim_tables.cpp by
// tools/sim_tables.py).
extern const float tableSin[91];
extern const float tableCos[91];
// Engine pitch by tenth of a step per second: OPL F-numbers at block 1, four gears.
constexpr int MOTOR_FNUM_COUNT = 400;
extern const uint16_t motorFnum[MOTOR_FNUM_COUNT];

// Curvature of step k of a loop of n > 0 steps, any k (it wraps round the loop): +1 bends
// right, -1 bends left, 0 for a straight step or any other curve value.
int curvatureAt(const unsigned int* track, unsigned int n, long long k);
// Steering from the two steering keys (non-zero = held).
void simStepTurn(Player& p, int left, int right);
// Air drag force at a speed, on or off the road.
float airDrag(float speed, bool onRoad);
// Rolling resistance force, on or off the road.
float rollDrag(bool onRoad);
// Speed change of one step from the pedals and the resistances.
void updateSpeed(Player& p, bool accelerate, bool brake);
// Forward and sideways move of one step; sets lean.
void advancePos(Player& p);
// Wraps z, counts line crossings, sets finished and applies the curve drift.
void simStepAdjustEnd(Player& p, float zOld, unsigned int* track, unsigned int n);
// Adds to x the sideways drift of driving from zFrom to zTo over the track's curves.
void adjustX(float& x, float zFrom, float zTo, unsigned int* track, unsigned int n);
// Engine pitch for a speed, as an OPL F-number (369..908).
int speed2fnum(float speed);

// ---------------------------------------------------------------------------------
// Collisions
// ---------------------------------------------------------------------------------

// Resolves rear-end and side contact after both cars moved (old positions given).
void collide(Player& a, float xa, float za, Player& b, float xb, float zb, unsigned int n);
// True when the cars are within a car length of each other along the loop.
bool isZClose(const Player& p, const Player& q, unsigned int n);
// Rear-end collision of p into the back of q (zOldQ is not used).
void collideZ(Player& p, float zOldP, Player& q, float zOldQ, unsigned int n);
// Sideways separation when q was clearly right of p at the start of the step.
void collideX(Player& p, float xOldP, Player& q, float xOldQ);
// Sideways separation by the current order, q on the right (old positions not used).
void collideX2(Player& p, float xOldP, Player& q, float xOldQ);
// Crash loudness 40..63 for a closing speed.
int crashSpeedToVol(float closingSpeed);

// ---------------------------------------------------------------------------------
// Computer driver (driver.cpp)
// ---------------------------------------------------------------------------------

// The four controls of one car in one step, as a person holds them on the keyboard.
struct Controls {
    bool left;       // steer left
    bool right;      // steer right (both held: the steering stays where it is)
    bool accelerate; // accelerate
    bool brake;      // brake
};

// Hands the car of a player (0 first, 1 second) to the computer, or back to the keys,
// from the next simStep on. At program start both cars are driven from the keys.
void setComputerDriver(int player, bool computer);
// True while the computer drives that player's car.
bool isComputerDriver(int player);

// The computer's controls for the car me in the coming step, decided from what a driver
// can see: its own speed, steering and place on the road, the other car, and the curves
// of the n step records of the loop ahead. Deterministic: the same view gives the same
// controls.
Controls computerControls(const Player& me, const Player& other, const unsigned int* track,
                          unsigned int n);
