// The compiled-in tables: track layouts and all artwork. Pictures are row-major, one
// palette index (0..15) per byte. In sprite tables (signed char) -1 (0xFF) is transparent
// and 1 and 9 are the dark and light body shades replaced per colour variant.
// The art is drawn as indexed PNG files in assets/art/ and converted by tools/art2c.py.
#pragma once

#include "main.h"

// ---------------------------------------------------------------------------------
// Track layouts (tracks.cpp)
// ---------------------------------------------------------------------------------

constexpr unsigned short IRON_SEGMENTS = 49;
constexpr unsigned short BOUL_SEGMENTS = 31;
constexpr unsigned short SUBURB_SEGMENTS = 43;
extern const TrSegm ironSegm[IRON_SEGMENTS];
extern const TrSegm boulSegm[BOUL_SEGMENTS];
extern const TrSegm suburbSegm[SUBURB_SEGMENTS];

// ---------------------------------------------------------------------------------
// Title and menu pictures
// ---------------------------------------------------------------------------------

// The title screen, a full 320 x 200 picture.
extern const unsigned char title_d[SCREEN_BYTES];

// Track pictures of the menu, 156 x 42.
constexpr int MENU_TRACK_W = 156, MENU_TRACK_H = 42;
extern const unsigned char menuboul_d[MENU_TRACK_W * MENU_TRACK_H];
extern const unsigned char menusuburb_d[MENU_TRACK_W * MENU_TRACK_H];
extern const unsigned char menuiron_d[MENU_TRACK_W * MENU_TRACK_H];

// Car pictures of the menu, 125 x 42; 9 and 1 are the body shades.
constexpr int MENU_CAR_W = 125, MENU_CAR_H = 42;
extern const unsigned char menuskoda_d[MENU_CAR_W * MENU_CAR_H];
extern const unsigned char menutrabant_d[MENU_CAR_W * MENU_CAR_H];
extern const unsigned char menubeetle_d[MENU_CAR_W * MENU_CAR_H];

// The menu's up arrow (the down arrow is its mirror) and confirmation mark.
constexpr int MENU_UP_W = 23, MENU_UP_H = 13;
extern const unsigned char menuup_d[MENU_UP_W * MENU_UP_H];
constexpr int MENU_OK_W = 17, MENU_OK_H = 31;
extern const unsigned char menuok_d[MENU_OK_W * MENU_OK_H];

// ---------------------------------------------------------------------------------
// Race sprites (transparent -1)
// ---------------------------------------------------------------------------------

// Left halves of the straight-ahead cars, 30 x 50, mirrored into 60 x 50.
constexpr int CAR_HALF_W = 30, CAR_H = 50;
extern const signed char skoda0_d[CAR_HALF_W * CAR_H];
extern const signed char trabant0_d[CAR_HALF_W * CAR_H];
extern const signed char beetle0_d[CAR_HALF_W * CAR_H];

// Cars turning left (mirrored for right), 50 rows tall.
constexpr int SKODA1_W = 66, TRABANT1_W = 64, BEETLE1_W = 70;
extern const signed char skoda1_d[SKODA1_W * CAR_H];
extern const signed char trabant1_d[TRABANT1_W * CAR_H];
extern const signed char beetle1_d[BEETLE1_W * CAR_H];

// Cars turning hard left (mirrored for hard right), 50 rows tall.
constexpr int SKODA2_W = 86, TRABANT2_W = 86, BEETLE2_W = 74;
extern const signed char skoda2_d[SKODA2_W * CAR_H];
extern const signed char trabant2_d[TRABANT2_W * CAR_H];
extern const signed char beetle2_d[BEETLE2_W * CAR_H];

// The off-road arrow, pointing left (mirrored to point right).
constexpr int ARROW_W = 20, ARROW_H = 13;
extern const signed char arrowLeftData[ARROW_W * ARROW_H];

// ---------------------------------------------------------------------------------
// Dashboard, lights, digits, finish pictures, backgrounds (opaque)
// ---------------------------------------------------------------------------------

// The dashboard panel with "LAP" and "POS" captions.
constexpr int HUD_W = 99, HUD_H = 40;
extern const unsigned char hudData[HUD_W * HUD_H];

// Start lights: two red lamps above a green one, unlit and lit.
constexpr int LIGHTS_W = 32, LIGHTS_H = 70;
extern const unsigned char lightsOffData[LIGHTS_W * LIGHTS_H];
extern const unsigned char lightsOnData[LIGHTS_W * LIGHTS_H];

// Dashboard digits 1, 2, 3; digitData holds them in that order.
constexpr int DIGIT_W = 13, DIGIT_H = 18;
extern const unsigned char digit1Data[DIGIT_W * DIGIT_H];
extern const unsigned char digit2Data[DIGIT_W * DIGIT_H];
extern const unsigned char digit3Data[DIGIT_W * DIGIT_H];
extern const unsigned char* const digitData[3];

// Finish pictures that cover a view's dashboard: winner and loser.
constexpr int FINISH_W = 159, FINISH_H = 48;
extern const unsigned char first_d[FINISH_W * FINISH_H];
extern const unsigned char last_d[FINISH_W * FINISH_H];

// Background panoramas, one full turn each, wrapping seamlessly.
constexpr int PANORAMA_W = 600, PANORAMA_H = 80;
extern const unsigned char bkg_boul_d[PANORAMA_W * PANORAMA_H];
extern const unsigned char bkg_sub_d[PANORAMA_W * PANORAMA_H];
extern const unsigned char bkg_iron_d[PANORAMA_W * PANORAMA_H];

// ---------------------------------------------------------------------------------
// Computer driver (computer_art.cpp)
// ---------------------------------------------------------------------------------

// The card on player B's half of the car menu while the computer drives B.
constexpr int MENU_COMPUTER_W = 125, MENU_COMPUTER_H = 26;
extern const unsigned char menucomputer_d[MENU_COMPUTER_W * MENU_COMPUTER_H];

// ---------------------------------------------------------------------------------
// Lettering (text_art.cpp)
// ---------------------------------------------------------------------------------

// The faces of the notes written at run time, one 8 x 8 cell per character in the order
// of fontChars: the small face in the top row of cells, the bold face below. 15 is ink;
// a cell's last row marks the glyph's width with 8.
constexpr int FONT_GLYPHS = 54, FONT_CELL_W = 8, FONT_CELL_H = 8, FONT_FACES = 2;
constexpr int FONT_W = FONT_GLYPHS * FONT_CELL_W, FONT_H = FONT_FACES * FONT_CELL_H;
extern const unsigned char font_d[FONT_W * FONT_H];
extern const char fontChars[FONT_GLYPHS + 1];
