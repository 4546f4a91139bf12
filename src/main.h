// The game shell and everything it draws: command line, start-up and loops, the
// selection menu, the tracks, the projection tables, the sprites and the split-screen
// view renderer. Everything here runs on the main thread.
//
// Every table built at start-up is owned through std::unique_ptr<T[]>: released with its
// owner at process exit, never copied, rebuilt by resetting it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct Player;

// ---------------------------------------------------------------------------------
// Screen geometry
// ---------------------------------------------------------------------------------

// The framebuffer: 320 x 200 palette indices, row-major, one byte per pixel.
constexpr int SCREEN_W = 320;
constexpr int SCREEN_H = 200;
constexpr int SCREEN_BYTES = SCREEN_W * SCREEN_H;
// A race view is 159 columns wide; the right view starts at column 161.
constexpr int VIEW_W = 159;
constexpr int RIGHT_VIEW_OFFSET = 161;
// A view's rows: the panorama above ROAD_TOP, the road down to DASHBOARD_TOP, then the
// dashboard, which the other car never covers.
constexpr int ROAD_TOP = 80;
constexpr int DASHBOARD_TOP = 152;

// (column, row) of a picture's top-left corner, relative to a view's origin.
struct ViewPos {
    int x, y;
};

// Where the fixed pictures of a race view stand.
struct ViewLayout {
    ViewPos lights{67, 4};            // the start lights, above the road
    ViewPos arrowRight{128, 100};     // off the road to the left: points back to the right
    ViewPos arrowLeft{12, 100};       // off the road to the right
    ViewPos hud{30, 156};             // the dashboard panel, drawn once per race
    ViewPos lapDigit{87, 156};        // the lap, 1 to 3
    ViewPos rankDigit{87, 178};       // the place in the race, 1 or 2
    ViewPos finish{0, DASHBOARD_TOP}; // the finish picture, over the whole dashboard
};
constexpr ViewLayout VIEW_LAYOUT{};

// ---------------------------------------------------------------------------------
// Game shell (game.cpp)
// ---------------------------------------------------------------------------------

// Where the game is played: on this machine alone, or over the network as the host
// (player A) or as the machine that joins it (player B).
enum NetRole { NET_LOCAL, NET_HOST, NET_JOIN };
// The UDP port of network play unless the command line names another.
constexpr uint16_t NET_PORT_DEFAULT = 24600;

// What the command line asks for.
struct Options {
    unsigned short port = 0x388;         // OPL port; accepted for compatibility, no audible effect
    int soundEnabled = 1;                // 0 with "-mute"
    NetRole netRole = NET_LOCAL;         // "-host [port]" or "-join <address>[:port]"
    uint16_t netPort = NET_PORT_DEFAULT; // the UDP port to listen on or to join
    std::string joinAddress;             // the host's name or IPv4 address
};

// Reads the arguments after the program name into opts ("-swap" calls opl_swap at once).
// Returns false, after printing "Unknown argument '%s'\n", for anything it does not know,
// or a line saying what is wrong with a network option.
bool parseCommandLine(int argc, char** argv, Options& opts);

// The whole program: command line, start-up, title, menu and race loops, shut-down.
// Returns the process exit status.
int runGame(int argc, char** argv);

// Builds every table derived from compiled-in data: road patterns, tracks, projection
// tables, sprites, backgrounds and menu pictures.
void initData();

// Writes the compile date as eight digits YYYYMMDD and a terminating zero (9 bytes).
void getBuildDate(char* out);
// The same from a date in the compiler's form "Mmm dd yyyy" (day padded with a blank).
void formatBuildDate(const char* compilerDate, char* out);

// The two cars of the race: player A (left view) and player B (right view).
extern Player playerA, playerB;

// Sets up a race on the chosen track with the chosen cars: initial positions (sides
// drawn by rand), race state, who drives player B, dashboard, engines.
void setupRace(unsigned char* framebuffer);

// ---------------------------------------------------------------------------------
// Network game (netgame.cpp)
// ---------------------------------------------------------------------------------

// The loop a frame belongs to; part of the state two machines compare.
enum GamePhase { PHASE_TITLE, PHASE_MENU, PHASE_RACE };

// Starts network play as opts asks, before the window opens: listens on the port, or
// finds the host. Returns false, after a line on stderr, when it cannot.
bool netGameStart(const Options& opts);
// Ends network play at shut-down, telling the other machine.
void netGameStop();
// The game still waits for the other machine to connect and agree; this machine plays
// alone meanwhile, but cannot leave the title.
bool netGameConnecting();
// Both machines play in lockstep.
bool netGameRunning();
// Gives up waiting for the other machine (Escape while connecting).
void netGameCancel();
// The seed of the next race, the same on both machines (the host's, plus the race's
// number), for the draw of the starting sides.
unsigned netRaceSeed();
// Takes this machine's speaker test keys (Left, Right) pressed in a network game, in
// which its keys drive its player instead: returns 0 when none is left.
uint8_t takeSpeakerTestKey();

// Reads this frame's keys: processEvents, and in a network game both machines' keys for
// the frame, waiting for them when the other machine is late (the picture stays up, with
// a note after a moment). Returns false when the frame cannot run: the window was closed
// while it waited, or the network game ended, after which the game goes on locally.
bool frameKeys(unsigned char* framebuffer, GamePhase phase);
// The state that both machines of a network game must agree on: the phase, the menu,
// both cars, the race state and the held keys.
uint64_t gameStateHash(GamePhase phase);
// Draws the network game's note, if any, over the picture: connecting, connected,
// waiting, or why the network game ended (for a few seconds).
void drawNetNote(unsigned char* framebuffer);

// ---------------------------------------------------------------------------------
// Lettering (text.cpp)
// ---------------------------------------------------------------------------------

// The two faces of the game's pixel lettering, both TEXT_H rows tall.
enum TextFace { TEXT_SMALL, TEXT_BOLD };
constexpr int TEXT_H = 7;
// Width in pixels of text in a face.
int textWidth(TextFace face, const char* text);
// Writes text with its top-left corner at (x, y), clipped to the screen; letters in
// either case, '?' for characters the faces lack.
void drawText(unsigned char* fb, TextFace face, int x, int y, const char* text,
              unsigned char colour);

// ---------------------------------------------------------------------------------
// Tracks (track.cpp)
// ---------------------------------------------------------------------------------

// One segment of a compiled-in layout.
struct TrSegm {
    uint8_t type;    // 0 straight, 1 curve; other types produce no steps
    int16_t value;   // straight: length in steps; curve: angle in degrees, positive bends left
    uint8_t marking; // road markings 0..3
    uint8_t ground;  // palette index of the ground beside the road
};

// An expanded track: one 32-bit step record per unit of length, owned by the Track.
// Record bits: 0-7 pattern, 8-15 curve (signed), 16-23 heading (0..71), 24-31 ground.
struct Track {
    std::unique_ptr<unsigned int[]> steps;
    unsigned int size = 0;
};

// Track headings count this many per full turn (5 degrees each).
constexpr int HEADINGS_PER_TURN = 72;

// Field accessors for a step record.
inline unsigned int stepPattern(unsigned int rec) {
    return rec & 0xFF;
}
inline int stepCurve(unsigned int rec) {
    return static_cast<int8_t>((rec >> 8) & 0xFF);
}
inline unsigned int stepHeading(unsigned int rec) {
    return (rec >> 16) & 0xFF;
}
inline unsigned int stepGround(unsigned int rec) {
    return rec >> 24;
}

// Result codes of generateTrack.
constexpr int TRACK_OK = 0;
constexpr int TRACK_EMPTY = 268;
constexpr int TRACK_BAD_ANGLE = 277;
constexpr int TRACK_NOT_MULTIPLE_OF_5 = 282;
constexpr int TRACK_NOT_CLOSED = 290;

// Validates a layout and appends its step records at values[*pos], advancing *pos;
// with values null only counts. Returns one of the result codes above.
int generateTrack(unsigned int* values, unsigned int* pos, const TrSegm* segm,
                  unsigned short count);

// Expands a layout of count segments into t, replacing what t held: a counting pass, the
// allocation, then the filling pass. Returns generateTrack's result code; on failure t is
// left empty (no steps, size 0).
int expandTrack(Track& t, const TrSegm* segm, unsigned short count);

// Road patterns: 7 rows of 512 texels (edge lines, centre dash, chequers, kerbs).
constexpr int TLIS_ROWS = 7;
constexpr int TLIS_W = 512;
extern unsigned char tlis[TLIS_ROWS][TLIS_W];

// Paints the seven road patterns into tlis.
void generateTlis();

// The three expanded tracks and the one chosen for the current race.
extern Track boulTrack, suburbTrack, ironTrack;
extern unsigned int* track;
extern unsigned int trackSize;

// ---------------------------------------------------------------------------------
// Projection tables (view.cpp)
// ---------------------------------------------------------------------------------

// The camera: CAMERA_HEIGHT road units above the road, its horizon at view row HORIZON_ROW.
// A point at depth z (track steps) and lateral offset dx (road units) is drawn
// FOCAL * dx / z columns right of the view's centre, and view row r shows the depth
// CAMERA_HEIGHT * FOCAL / (VERTICAL_SCALE * (r - HORIZON_ROW)).
constexpr double FOCAL = 128.0;
constexpr double VERTICAL_SCALE = 1.2;
constexpr double CAMERA_HEIGHT = 2.5;
constexpr int HORIZON_ROW = 68;
// The camera stands CAM_DIST steps behind the own car, which sits on depth row OWN_ROW (the
// depth of that row).
constexpr float CAM_DIST = 3.5087719f;
constexpr int OWN_ROW = 64;
// The drawn road spans -ROAD_EDGE..+ROAD_EDGE road units and is centred on column
// ROAD_CENTRE; car sprites are centred on CAR_CENTRE, the own car standing on the row
// above OWN_CAR_BOTTOM.
constexpr double ROAD_EDGE = 4.0;
constexpr int ROAD_CENTRE = 79;
constexpr int CAR_CENTRE = 80;
constexpr int OWN_CAR_BOTTOM = 144;
// More than this many road units off centre, an arrow points back to the road.
constexpr float OFF_ROAD_ARROW = 12.0f;

// Depth in track steps of view rows ROAD_TOP.. ROAD_TOP + 79; the first ROAD_ROWS show road.
constexpr int TABLEZ_ROWS = 80;
constexpr int ROAD_ROWS = DASHBOARD_TOP - ROAD_TOP;
extern float tableZ[TABLEZ_ROWS];

// One road row: the seven road patterns resampled to the road's width at that depth.
struct Mip {
    std::unique_ptr<unsigned char[]> texels[TLIS_ROWS];
    uint16_t width = 0;
};
extern Mip mips[ROAD_ROWS];

// 16 rows of 320 bytes; row n is all n, the source for solid fills.
extern unsigned char color320[16][SCREEN_W];

// Fills tableZ.
void initTableZ();
// Fills mips from tableZ and tlis.
void initMips();
// Builds tableZ, mips, the sprites, the backgrounds and color320.
void precompute();

// ---------------------------------------------------------------------------------
// Sprites (sprites.cpp)
// ---------------------------------------------------------------------------------

// A run of opaque pixels within one row of a sprite.
struct SpriteRun {
    uint8_t x, y, length;
};

// A run-encoded picture; 0xFF pixels are transparent. Owns pixels and runs.
struct Sprite {
    uint8_t width = 0;
    uint8_t height = 0;
    uint8_t row = 0; // first road row served (scaled car sizes only)
    std::unique_ptr<unsigned char[]> pixels;
    std::unique_ptr<SpriteRun[]> runs;
    uint16_t runCount = 0;
};

// A car seen from behind in 20 sizes; entry 16 is full size (60 x 50).
constexpr int CAR_SIZE_COUNT = 20;
constexpr int CAR_FULL_SIZE = 16;
struct CarSprite {
    Sprite sizes[CAR_SIZE_COUNT];
};

// The five steering poses of the own car: hard left, left, straight, right, hard right.
struct SpriteSet {
    const Sprite* poses[5] = {};
};

// First road row, width and height of each car size.
extern const uint8_t CAR_SIZES[CAR_SIZE_COUNT][3];

// Sprite globals, indexed by colour variant 2 x car + player.
constexpr int CAR_VARIANTS = 6;
extern CarSprite cars[CAR_VARIANTS];
extern Sprite carsL[CAR_VARIANTS], carsLL[CAR_VARIANTS], carsR[CAR_VARIANTS], carsRR[CAR_VARIANTS];
extern SpriteSet spriteSet[CAR_VARIANTS];
// Body colours by variant, for the sprites and the menu pictures: the light shade replaces
// 9, the dark shade replaces 1.
extern const unsigned char carColorL[CAR_VARIANTS];
extern const unsigned char carColorD[CAR_VARIANTS];
extern Sprite arrowLeft, arrowRight;

// Background panoramas widened to 760 x 80 so any 160-column window is one copy.
constexpr int BACKG_W = 760;
constexpr int BACKG_H = 80;
extern std::unique_ptr<unsigned char[]> backgs[3];
extern unsigned char* backg;

// Builds the run table of s (counting only when s.runs is null).
void initSpriteRun(Sprite& s);
// Builds s from a w x h source, replacing body shade 1 by c1 and 9 by c2 (0xFF: keep).
void initSprite(Sprite& s, const signed char* src, int w, int h, unsigned char c1,
                unsigned char c2);
// As initSprite, mirrored left to right.
void initSpriteHflip(Sprite& s, const signed char* src, int w, int h, unsigned char c1,
                     unsigned char c2);
// Builds all 20 sizes of a car from its 30 x 50 left half.
void initCarSprite(CarSprite& cs, const signed char* src, unsigned char c1, unsigned char c2);
// Builds every sprite global and spriteSet.
void initSprites();
// Fills six consecutive sprite sets from the sprite globals.
void initSpriteSet(SpriteSet* sets);
// Returns a newly allocated 760 x 80 background (new[]) built from a 600 x 80 panorama.
unsigned char* initBackg(const unsigned char* src);
// Fills backgs from the three panoramas.
void initBackg();

// Draws s at (x, y) relative to fb without clipping.
void drawSpriteFast(unsigned char* fb, const Sprite& s, int x, int y);
// Draws s at (x, y) clipped to columns 0..clipW-1 and rows 0..clipH-1.
void drawSpriteSafe(unsigned char* fb, int clipW, int clipH, const Sprite& s, int x, int y);
// Copies a w x h opaque picture to (x, y).
void drawRect(unsigned char* fb, const unsigned char* src, int w, int h, int x, int y);
// Draws both dashboard panels; once per race, after the framebuffer is cleared.
void initialHudDraw(unsigned char* fb);

// ---------------------------------------------------------------------------------
// View renderer (view.cpp)
// ---------------------------------------------------------------------------------

// Draws one player's view at fb (column 0 of the view, row 0).
void drawProto2(unsigned char* fb, const Player& me, const Player& other, const SpriteSet& mine,
                const CarSprite& others);
// Fills xoff (80 entries, one per depth row) with the pixels by which each row of me's
// view is shifted left to bend the road; 0 at the own car's row.
void curveOffsets(const Player& me, float* xoff);
// Draws both cars in depth order, then the start lights; n is the track's step count.
void drawCars(unsigned char* fb, int clipW, int clipH, const Player& me, const Player& other,
              const SpriteSet& mine, const CarSprite& others, const float* xoff, unsigned int n);
// Absolute value of a float.
float myAbs(float v);

// ---------------------------------------------------------------------------------
// Selection menu (menu.cpp)
// ---------------------------------------------------------------------------------

// Selection state: car per player, track, confirmations.
extern int menuSelCar[2];
extern int menuSelTrack;
extern int carSelected[2];
extern int trackSelected;
// Non-zero while the computer drives player B: switched with C in the car stage, kept from
// race to race. The computer's car is chosen (different from A's) and confirmed.
extern int menuComputerB;

// The 19 menu pictures: 12 car pictures, 6 track pictures, the down arrow.
constexpr int MENU_PIX_COUNT = 19;
extern std::unique_ptr<unsigned char[]> menuPix[MENU_PIX_COUNT];

// Builds menuPix; once, at the end of initData.
void initMenu();
// Takes every queued key event and updates the selection state. A release counts only
// for a key the menu saw go down since resetMenuKeys.
void processMenuKeys();
// Forgets the keys seen going down; called each time the menu is entered, so that a key
// pressed in a race and released in the menu does nothing there.
void resetMenuKeys();
// Draws the whole menu screen for the current state.
void drawMenu(unsigned char* framebuffer);
// Draws one player's half of the car stage.
void drawCarMenu(unsigned char* framebuffer, int player);
