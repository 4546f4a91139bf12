#include "fake_lights.h"

#include "sim.h"

int fakeLights = 0;

int getLights() {
    return fakeLights;
}
