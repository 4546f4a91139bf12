// Network play: two machines race each other, each driving one player, in lockstep. Every
// frame both machines apply the same key events in the same order, so the title, the menu
// and the race run identically on both with nothing else sent. The host is player A, the
// machine that joins it player B.
//
// The lockstep, its packets and the key mapping are plain code (lockstep.cpp), driven over
// any NetLink; the ENet transport is the platform's (enetlink.cpp). Nothing here touches
// game state: the game shell feeds keys in, applies the merged keys and hands over a hash
// of its state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------------
// Protocol
// ---------------------------------------------------------------------------------

// Raised whenever a packet's layout or meaning changes. The hello and refusal packets keep
// their layout for ever, so that two versions can always tell each other apart.
constexpr uint8_t NET_PROTOCOL = 1;
// A key counts this many frames after the frame in which it was pressed, on both machines
// (100 ms): time for it to reach the other machine before that frame is due there.
constexpr uint32_t NET_INPUT_DELAY = 2;
// Frames between two comparisons of the machines' game states (one second).
constexpr uint32_t NET_HASH_INTERVAL = 20;
// Silence after which the other machine counts as gone, in ms.
constexpr uint32_t NET_SILENCE_MS = 2000;
// While a frame waits for the other machine, this machine's keys are sent again this
// often (ms), so that a lost packet is replaced long before anyone notices.
constexpr uint32_t NET_RESEND_MS = 20;
// Key events of one player in one frame; more wait for the next frame.
constexpr int NET_MAX_KEYS_PER_FRAME = 32;
// Frames of keys in one packet: every packet repeats all the frames not yet confirmed.
constexpr int NET_MAX_FRAMES_PER_PACKET = 32;
// Frames sent but not confirmed beyond which the other machine counts as broken: an
// honest one confirms within 2 x NET_INPUT_DELAY + 1 frames of its own progress.
constexpr uint32_t NET_MAX_UNCONFIRMED = 64;
// The longest build description a hello may carry.
constexpr size_t NET_BUILD_MAX = 40;

// One key event: pressed 1 or 0, a PC scan code.
struct NetKey {
    uint8_t pressed;
    uint8_t code;
};
inline bool operator==(const NetKey& a, const NetKey& b) {
    return a.pressed == b.pressed && a.code == b.code;
}

// Why a network game ended. Sent to the other machine when the connection is closed, so
// both can say the same thing.
enum class NetEnd : uint32_t {
    NONE = 0,      // still connecting or running
    QUIT = 1,      // the other machine closed its game
    SILENT = 2,    // nothing heard from the other machine for NET_SILENCE_MS
    DESYNC = 3,    // the two games differ (their state hashes disagree)
    VERSION = 4,   // the other machine runs another build or protocol
    BUSY = 5,      // the host already races with another machine
    CANCELLED = 6, // the player gave up waiting
    BROKEN = 7,    // the other machine stopped confirming this machine's keys
};

// The scan codes a player may send: their own four driving keys with the alternative
// pedals, and Enter and Escape, which act for both players.
bool netKeyBelongsTo(int player, uint8_t code);

// FNV-1a over bytes, continuing from h (start with NET_HASH_START).
constexpr uint64_t NET_HASH_START = 14695981039346656037ull;
uint64_t netHash(uint64_t h, const void* data, size_t size);

// ---------------------------------------------------------------------------------
// The connection to the other machine
// ---------------------------------------------------------------------------------

// Something that happened on the connection.
struct NetEvent {
    enum Type { CONNECTED, PACKET, DISCONNECTED } type = PACKET;
    std::vector<uint8_t> data; // PACKET: its bytes, untrusted
    uint32_t reason = 0;       // DISCONNECTED: the NetEnd the other machine gave, 0 if none
};

// What the lockstep needs of a connection: the ENet transport in the game, an in-memory
// pair in the tests.
class NetLink {
  public:
    virtual ~NetLink() = default;
    // Takes the next event, if any; never blocks.
    virtual bool poll(NetEvent& event) = 0;
    // Sends a packet. Reliable packets arrive once and in order; the others may be lost,
    // repeated or overtaken.
    virtual void send(const std::vector<uint8_t>& packet, bool reliable) = 0;
    // Closes the connection, telling the other machine why (after what was sent reliably).
    virtual void close(NetEnd why) = 0;
};

// ---------------------------------------------------------------------------------
// Keys of this machine
// ---------------------------------------------------------------------------------

// Turns the keys of this machine's keyboard and controllers into its player's keys: in a
// network game each person may drive with either set (the arrows or W, A, S, D with their
// Shift and Ctrl), and both sets mean their own player's keys. Other keys (the computer
// driver's C among them) stay on this machine. A player's key is held while any of the
// local keys that mean it is held, so events come only when that changes.
class NetKeyMap {
  public:
    explicit NetKeyMap(int player) : player_(player) {}
    // One local event in this machine's scan codes; appends the player's event, if any.
    void key(bool pressed, uint8_t code, std::vector<NetKey>& out);

  private:
    int player_;
    bool localHeld_[256] = {};
    uint8_t meaningHeld_[256] = {}; // local keys held per player's key
};

// ---------------------------------------------------------------------------------
// The lockstep
// ---------------------------------------------------------------------------------

// Counts of what came in, for the trace and the closing line.
struct NetStats {
    uint32_t badPackets = 0;     // dropped as malformed or not allowed
    uint32_t packetsIn = 0;      // every packet received
    uint32_t resends = 0;        // packets sent again while waiting
    uint32_t comparedHashes = 0; // state comparisons that agreed
};

// One network game as one machine sees it. The host (player 0) waits for a hello and
// answers with a welcome that carries the game's random seed, or a refusal that names its
// build; the joiner (player 1) says hello once connected. Then every frame:
//   beginFrame   sends this machine's keys of the last frame, for frame() + NET_INPUT_DELAY;
//   update       (until frameReady) takes in the other machine's keys;
//   takeFrame    gives both players' keys for frame(), player A's first, and moves on.
// Every packet is checked: a wrong size, protocol, frame number or key is dropped and
// counted, never acted on.
class Lockstep {
  public:
    // build: this machine's build, compared with the other's (at most NET_BUILD_MAX
    // characters); seed: the host's seed for the game (the joiner's is ignored).
    Lockstep(NetLink& link, int player, const std::string& build, uint32_t seed);

    // Takes in what arrived, resends this machine's keys while a frame waits, and notices
    // a silent or broken partner. Call it often: every frame and while waiting.
    void update(uint32_t nowMs);
    // A key event of this machine's keyboard or controllers, in its own scan codes.
    void localKey(bool pressed, uint8_t code);
    // Starts the frame: this machine's keys since the last call become its keys for
    // frame() + NET_INPUT_DELAY and are sent.
    void beginFrame(uint32_t nowMs);
    // Both machines' keys for frame() are here.
    bool frameReady() const;
    // Both players' keys for frame() (player A's, then player B's; Enter and Escape count
    // once while either player holds them) and moves on to the next frame. stateHash is
    // the game's state before these keys: every NET_HASH_INTERVAL frames it is compared
    // with the other machine's, and a difference ends the game.
    std::vector<NetKey> takeFrame(uint64_t stateHash);
    // Ends the game from this side, telling the other machine why.
    void end(NetEnd why);

    // Connected, agreed and exchanging frames.
    bool running() const { return running_ && end_ == NetEnd::NONE; }
    // Over, and why.
    NetEnd endReason() const { return end_; }
    // Whether this machine decided the end (rather than hearing of it).
    bool endedHere() const { return endedHere_; }
    int player() const { return player_; }
    uint32_t frame() const { return frame_; }
    // The game's random seed: the host's, once the welcome arrived.
    uint32_t seed() const { return seed_; }
    // The other machine's build and protocol, once it said hello or refused.
    const std::string& peerBuild() const { return peerBuild_; }
    int peerProtocol() const { return peerProtocol_; }
    // The frame whose states differed (DESYNC).
    uint32_t desyncFrame() const { return desyncFrame_; }
    const NetStats& stats() const { return stats_; }

  private:
    void receive(const std::vector<uint8_t>& p);
    // The handshake: a hello to the host, a welcome or a refusal to the joiner.
    void receiveGreeting(const std::vector<uint8_t>& p);
    bool receiveInput(const std::vector<uint8_t>& p);
    bool receiveHash(const std::vector<uint8_t>& p);
    void compareHashes(uint32_t frame);
    void sendInput(uint32_t nowMs);
    void finish(NetEnd why, bool here);
    void trim();

    NetLink& link_;
    int player_;
    std::string build_;
    NetKeyMap keyMap_;
    uint32_t seed_;

    bool connected_ = false;
    bool running_ = false;
    NetEnd end_ = NetEnd::NONE;
    bool endedHere_ = false;
    std::string peerBuild_;
    int peerProtocol_ = -1;

    uint32_t frame_ = 0;
    // This machine's keys by frame, from localBase_ on; localSent_ frames are committed
    // (the first NET_INPUT_DELAY are empty on both sides).
    std::deque<std::vector<NetKey>> local_;
    uint32_t localBase_ = 0;
    uint32_t localSent_ = NET_INPUT_DELAY;
    std::vector<NetKey> pending_; // keys since the last beginFrame
    // Frames of this machine's keys that the other machine confirmed.
    uint32_t peerHas_ = NET_INPUT_DELAY;
    // The other machine's keys by frame, from remoteBase_ (= frame_) on; remoteHave_
    // frames are here.
    std::deque<std::vector<NetKey>> remote_;
    uint32_t remoteBase_ = 0;
    uint32_t remoteHave_ = NET_INPUT_DELAY;
    // Enter and Escape as each player holds them, for the merged keys.
    bool sharedHeld_[2][2] = {};

    std::map<uint32_t, uint64_t> myHashes_, peerHashes_;
    uint32_t desyncFrame_ = 0;

    uint32_t lastHeardMs_ = 0;
    bool heardAnything_ = false;
    uint32_t lastSentMs_ = 0;
    NetStats stats_;
};

// ---------------------------------------------------------------------------------
// The ENet transport (enetlink.cpp)
// ---------------------------------------------------------------------------------

// Where to find the other machine.
struct NetAddress {
    uint32_t host = 0; // IPv4, in network byte order (as ENet keeps it)
    uint16_t port = 0;
};

// Starts ENet. Returns false, with the reason in error, when it cannot.
bool netStartup(std::string& error);
void netShutdown();
// Resolves a name or dotted address. Returns false, with the reason, when it cannot.
bool netResolve(const std::string& name, uint16_t port, NetAddress& out, std::string& error);
// The address as text, "192.168.1.20:24600".
std::string netAddressText(const NetAddress& a);

// A host listening on a UDP port for one partner; a further machine trying to join is
// turned away (BUSY). Port 0 takes any free port; boundPort, if given, gets the port.
// Null, with the reason, when the port cannot be opened.
std::unique_ptr<NetLink> netListen(uint16_t port, std::string& error,
                                   uint16_t* boundPort = nullptr);
// A connection to a host, tried again every second until the host answers. Null, with
// the reason, when no UDP socket can be opened.
std::unique_ptr<NetLink> netConnect(const NetAddress& host, std::string& error);
