// Test double of the race's light phase, for drawing views without the simulation.
#pragma once

// The phase getLights returns; the test sets it (0 at start).
extern int fakeLights;
