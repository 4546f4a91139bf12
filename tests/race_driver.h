// A simple scripted driver for whole races in tests: full throttle on straights, braking
// down to its cornering speed before bends, steering against the drift of the bend and
// towards its line across the road. It says which pedals and steering keys it holds; the
// test presses them on whatever the race reads (a fake keyboard, a game controller).
#pragma once

#include "main.h"
#include "sim.h"

#include <algorithm>
#include <cmath>

struct DriverKeys {
    bool accelerate, brake;
    bool left, right; // both held keeps the steering where it is
};

struct RaceDriver {
    float line;        // x it aims for
    float cornerSpeed; // steps per second through bends

    DriverKeys decide(const Player& p, const unsigned int* steps, unsigned int n) const {
        auto curveAt = [&](double z) {
            long long k = static_cast<long long>(std::floor(z)) % n;
            return stepCurve(steps[k < 0 ? k + n : k]);
        };
        DriverKeys keys;
        double v = p.speed;
        // Distance needed to brake down to the cornering speed, plus a margin.
        double lookahead = v > cornerSpeed ? (v * v - cornerSpeed * cornerSpeed) / 22.0 + 1 : 2;
        bool bendAhead = false;
        for (double d = 0; d <= lookahead && !bendAhead; d += 1.0)
            bendAhead = curveAt(p.z + d) != 0;
        keys.accelerate = !bendAhead || v < cornerSpeed;
        keys.brake = bendAhead && v > cornerSpeed + 0.5;

        // Steering takes a few steps to build up: look a little ahead for the bend.
        int curve = curveAt(p.z + v * 0.2);
        double want = -31.0 * curve + 12.0 * (p.x - line);
        want = std::max(-45.0, std::min(45.0, want));
        const bool goLeft = p.steer < want - 1.5;
        const bool goRight = p.steer > want + 1.5;
        keys.left = goLeft || !goRight;
        keys.right = goRight || !goLeft;
        return keys;
    }
};
