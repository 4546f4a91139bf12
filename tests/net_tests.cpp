// The lockstep of a network game over an in-memory network: the handshake, both machines
// getting the same keys in every frame through delay, loss, repeats and reordering, the
// ends of a game (a partner that quits, goes silent or differs), and every packet that
// must be dropped.
#include "memory_link.h"
#include "net.h"
#include "sdltk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using Frame = std::vector<NetKey>;

const std::string BUILD = "1.0.0 20261209";
constexpr uint32_t SEED = 0xC0FFEE;

// One machine's game loop around a Lockstep, paced like the game: a frame at most every
// 50 ms, later when it had to wait for the other machine.
struct Machine {
    Machine(NetLink& link, int player, const std::string& build = BUILD)
        : ls(link, player, build, SEED) {}

    void tick(uint64_t now) {
        ls.update(static_cast<uint32_t>(now));
        if (!ls.running() || stopped) return;
        if (!begun) {
            if (now < nextFrameAt) return;
            for (const NetKey& k : script[ls.frame()])
                ls.localKey(k.pressed != 0, k.code);
            ls.beginFrame(static_cast<uint32_t>(now));
            begun = true;
            startedAt = now;
        }
        if (!ls.frameReady()) return;
        if (now > startedAt) ++waited;
        const uint64_t hash = lyingAt == ls.frame() ? 1 : netHash(NET_HASH_START, &seen, 8);
        merged.push_back(ls.takeFrame(hash));
        for (const NetKey& k : merged.back())
            seen = netHash(seen, &k, sizeof k);
        begun = false;
        nextFrameAt = std::max(startedAt + 50, now);
    }

    Lockstep ls;
    std::map<uint32_t, Frame> script; // this machine's own keys, by the frame they are pressed
    std::vector<Frame> merged;        // what each frame got
    uint64_t seen = NET_HASH_START;   // a hash of everything merged so far: the "game state"
    uint32_t lyingAt = UINT32_MAX;    // a frame at which to hand over a wrong state hash
    uint64_t nextFrameAt = 0, startedAt = 0;
    bool begun = false;
    bool stopped = false;
    uint32_t waited = 0; // frames that had to wait for the other machine
};

// Runs both machines, a millisecond at a time, until both have done frames frames (or the
// game ended, or limitMs passed). Returns the time reached.
uint64_t run(MemoryNet& net, Machine& a, Machine& b, size_t frames, uint64_t limitMs = 120000) {
    uint64_t now = net.now();
    while (now < limitMs && (a.merged.size() < frames || b.merged.size() < frames)) {
        net.setTime(now);
        a.tick(now);
        b.tick(now);
        if (a.ls.endReason() != NetEnd::NONE && b.ls.endReason() != NetEnd::NONE) break;
        ++now;
    }
    return now;
}

// A script of random presses and releases of a player's own keys (no Enter or Escape),
// one key at a time, so that what each frame must get can be written down directly.
std::map<uint32_t, Frame> ownKeysScript(int player, uint32_t frames, uint32_t seed) {
    const uint8_t keysA[] = {SC_W, SC_S, SC_A, SC_D, SC_LSHIFT, SC_LCTRL};
    const uint8_t keysB[] = {SC_UP, SC_DOWN, SC_LEFT, SC_RIGHT, SC_RSHIFT, SC_RCTRL};
    std::mt19937 random(seed);
    std::map<uint32_t, Frame> script;
    bool held[6] = {};
    for (uint32_t f = 0; f < frames; ++f) {
        if (random() % 3 != 0) continue;
        const int k = static_cast<int>(random() % 6);
        held[k] = !held[k];
        script[f].push_back({held[k], player == 0 ? keysA[k] : keysB[k]});
        if (random() % 4 == 0) { // a quick tap within the same frame
            held[k] = !held[k];
            script[f].push_back({held[k], player == 0 ? keysA[k] : keysB[k]});
        }
    }
    return script;
}

// Both machines connected and agreed.
struct Pair {
    explicit Pair(NetConditions c = {}, uint32_t seed = 1, const std::string& joinerBuild = BUILD)
        : net(c, seed), host(net.host, 0), joiner(net.joiner, 1, joinerBuild) {
        net.connect();
    }
    MemoryNet net;
    Machine host, joiner;
};

// --- Keys of this machine ---------------------------------------------------------

TEST(NetKeys, EitherSetOfKeysDrivesTheMachinesOwnPlayer) {
    struct Case {
        uint8_t local, forA, forB;
    };
    const Case cases[] = {
        {SC_W, SC_W, SC_UP},
        {SC_UP, SC_W, SC_UP},
        {SC_S, SC_S, SC_DOWN},
        {SC_DOWN, SC_S, SC_DOWN},
        {SC_A, SC_A, SC_LEFT},
        {SC_LEFT, SC_A, SC_LEFT},
        {SC_D, SC_D, SC_RIGHT},
        {SC_RIGHT, SC_D, SC_RIGHT},
        {SC_LSHIFT, SC_LSHIFT, SC_RSHIFT},
        {SC_RSHIFT, SC_LSHIFT, SC_RSHIFT},
        {SC_LCTRL, SC_LCTRL, SC_RCTRL},
        {SC_RCTRL, SC_LCTRL, SC_RCTRL},
        {SC_ENTER, SC_ENTER, SC_ENTER},
        {SC_ESCAPE, SC_ESCAPE, SC_ESCAPE},
        {SC_C, 0, 0}, // the computer driver's key stays on this machine
        {0x39, 0, 0}, // the space bar
    };
    for (const Case& c : cases) {
        for (int player = 0; player < 2; ++player) {
            NetKeyMap map(player);
            std::vector<NetKey> out;
            map.key(true, c.local, out);
            map.key(false, c.local, out);
            const uint8_t want = player == 0 ? c.forA : c.forB;
            if (want == 0) {
                EXPECT_TRUE(out.empty()) << int(c.local);
            } else {
                EXPECT_EQ(out, (std::vector<NetKey>{{1, want}, {0, want}}))
                    << "key " << int(c.local) << " for player " << player;
                EXPECT_TRUE(netKeyBelongsTo(player, want));
                EXPECT_EQ(netKeyBelongsTo(1 - player, want), want == SC_ENTER || want == SC_ESCAPE);
            }
        }
    }
}

TEST(NetKeys, TwoKeysMeaningTheSameAreOneKeyHeldUntilBothAreUp) {
    NetKeyMap map(0);
    std::vector<NetKey> out;
    map.key(true, SC_W, out);
    map.key(true, SC_UP, out); // already accelerating
    map.key(true, SC_UP, out); // auto-repeat
    map.key(false, SC_W, out); // Up still holds it
    EXPECT_EQ(out, (std::vector<NetKey>{{1, SC_W}}));
    map.key(false, SC_UP, out);
    map.key(false, SC_UP, out); // a second release changes nothing
    map.key(false, SC_S, out);  // never pressed (held before the game began)
    EXPECT_EQ(out, (std::vector<NetKey>{{1, SC_W}, {0, SC_W}}));
}

// --- Handshake and the lockstep ---------------------------------------------------

TEST(NetLockstep, JoinerLearnsTheHostsSeedAndBothRun) {
    Pair p;
    run(p.net, p.host, p.joiner, 5);
    EXPECT_TRUE(p.host.ls.running());
    EXPECT_TRUE(p.joiner.ls.running());
    EXPECT_EQ(p.joiner.ls.seed(), SEED);
    EXPECT_EQ(p.joiner.ls.peerBuild(), BUILD);
    EXPECT_EQ(p.host.ls.peerBuild(), BUILD);
}

TEST(NetLockstep, BothMachinesGetTheSameKeysInEveryFrameThroughAnyNetwork) {
    struct Case {
        const char* name;
        NetConditions net;
    };
    const Case cases[] = {
        {"perfect", {}},
        {"local network", {1, 1, 0, 0}},
        {"80 ms, jitter, 5% loss", {80, 20, 0.05, 0}},
        {"overtaking and repeats", {30, 120, 0, 0.3}},
        {"30% loss", {40, 10, 0.3, 0}},
        {"slower than the delay", {250, 0, 0, 0}},
    };
    constexpr uint32_t FRAMES = 400;
    for (const Case& c : cases) {
        Pair p(c.net, 7);
        p.host.script = ownKeysScript(0, FRAMES, 11);
        p.joiner.script = ownKeysScript(1, FRAMES, 12);
        run(p.net, p.host, p.joiner, FRAMES + NET_INPUT_DELAY);
        ASSERT_GE(p.host.merged.size(), FRAMES + NET_INPUT_DELAY) << c.name;
        ASSERT_GE(p.joiner.merged.size(), FRAMES + NET_INPUT_DELAY) << c.name;
        for (uint32_t f = 0; f < FRAMES + NET_INPUT_DELAY; ++f) {
            // A key pressed in frame f counts in frame f + delay: player A's, then B's.
            Frame want;
            if (f >= NET_INPUT_DELAY) {
                const uint32_t pressed = f - NET_INPUT_DELAY;
                for (Machine* m : {&p.host, &p.joiner}) {
                    const auto it = m->script.find(pressed);
                    if (it != m->script.end())
                        want.insert(want.end(), it->second.begin(), it->second.end());
                }
            }
            ASSERT_EQ(p.host.merged[f], want) << c.name << ", frame " << f << " on the host";
            ASSERT_EQ(p.joiner.merged[f], want) << c.name << ", frame " << f << " on the joiner";
        }
        EXPECT_EQ(p.host.ls.stats().badPackets, 0u) << c.name;
        EXPECT_EQ(p.joiner.ls.stats().badPackets, 0u) << c.name;
        EXPECT_GE(p.host.ls.stats().comparedHashes, FRAMES / NET_HASH_INTERVAL - 1) << c.name;
        EXPECT_TRUE(p.host.ls.running() && p.joiner.ls.running()) << c.name;
    }
}

TEST(NetLockstep, AllKeysOfBothSetsFromBothMachinesStayInStep) {
    // Any key, either set, Enter and Escape from both: the machines must agree, and
    // Enter and Escape go down once while either player holds them.
    const uint8_t keys[] = {SC_W,     SC_S,      SC_A,    SC_D,     SC_LSHIFT, SC_LCTRL,
                            SC_UP,    SC_DOWN,   SC_LEFT, SC_RIGHT, SC_RSHIFT, SC_RCTRL,
                            SC_ENTER, SC_ESCAPE, SC_C,    0x39};
    Pair p({60, 60, 0.1, 0.1}, 3);
    std::mt19937 random(5);
    for (Machine* m : {&p.host, &p.joiner}) {
        bool held[16] = {};
        for (uint32_t f = 0; f < 300; ++f) {
            for (int i = static_cast<int>(random() % 4); i > 0; --i) {
                const int k = static_cast<int>(random() % 16);
                held[k] = !held[k];
                m->script[f].push_back({held[k], keys[k]});
            }
        }
    }
    run(p.net, p.host, p.joiner, 302);
    ASSERT_EQ(p.host.merged.size(), p.joiner.merged.size());
    ASSERT_GE(p.host.merged.size(), 302u);
    int enterHeld = 0;
    for (size_t f = 0; f < p.host.merged.size(); ++f) {
        ASSERT_EQ(p.host.merged[f], p.joiner.merged[f]) << "frame " << f;
        for (const NetKey& k : p.host.merged[f]) {
            if (k.code != SC_ENTER) continue;
            ASSERT_NE(enterHeld, k.pressed)
                << "Enter went " << (k.pressed ? "down" : "up") << " twice in a row, frame " << f;
            enterHeld = k.pressed;
        }
    }
}

TEST(NetLockstep, ALateFrameWaitsForTheOtherMachine) {
    Pair p;
    run(p.net, p.host, p.joiner, 20);
    const size_t hostFrames = p.host.merged.size();
    // The joiner stalls (its window dragged): the host cannot go on without its keys.
    p.joiner.stopped = true;
    uint64_t now = p.net.now();
    for (uint64_t end = now + 1000; now < end; ++now) {
        p.net.setTime(now);
        p.host.tick(now);
        p.joiner.tick(now);
    }
    EXPECT_LE(p.host.merged.size(), hostFrames + NET_INPUT_DELAY + 1);
    EXPECT_TRUE(p.host.ls.running()) << "a second's wait is not the end";
    p.joiner.stopped = false;
    run(p.net, p.host, p.joiner, 60);
    EXPECT_GE(p.host.merged.size(), 60u);
    EXPECT_GT(p.host.waited, 0u);
    EXPECT_GT(p.host.ls.stats().resends, 0u) << "the waiting host kept sending its keys";
}

// --- The end of a game ------------------------------------------------------------

TEST(NetLockstep, ASilentPartnerIsNoticedWithinTheSilenceLimit) {
    Pair p({5, 0, 0, 0});
    run(p.net, p.host, p.joiner, 40);
    p.net.joiner.die(); // its process killed: nothing more arrives
    p.joiner.stopped = true;
    const uint64_t died = p.net.now();
    uint64_t now = died;
    while (p.host.ls.running() && now < died + 10000) {
        p.net.setTime(++now);
        p.host.tick(now);
    }
    EXPECT_EQ(p.host.ls.endReason(), NetEnd::SILENT);
    EXPECT_TRUE(p.host.ls.endedHere());
    EXPECT_GE(now - died, NET_SILENCE_MS);
    EXPECT_LE(now - died, NET_SILENCE_MS + 100);
    EXPECT_EQ(p.net.host.closedWith(), NetEnd::SILENT);
}

TEST(NetLockstep, APartnerThatQuitsEndsTheGameOnBothSides) {
    Pair p({10, 0, 0, 0});
    run(p.net, p.host, p.joiner, 30);
    p.joiner.ls.end(NetEnd::QUIT);
    run(p.net, p.host, p.joiner, 1000, p.net.now() + 100);
    EXPECT_EQ(p.host.ls.endReason(), NetEnd::QUIT);
    EXPECT_FALSE(p.host.ls.endedHere());
    EXPECT_FALSE(p.host.ls.running());
}

TEST(NetLockstep, DifferentStatesEndTheGameOnBothMachines) {
    Pair p({10, 5, 0, 0});
    p.joiner.lyingAt = 2 * NET_HASH_INTERVAL;
    run(p.net, p.host, p.joiner, 200);
    EXPECT_EQ(p.host.ls.endReason(), NetEnd::DESYNC);
    EXPECT_EQ(p.joiner.ls.endReason(), NetEnd::DESYNC);
    const Lockstep& found = p.host.ls.endedHere() ? p.host.ls : p.joiner.ls;
    EXPECT_EQ(found.desyncFrame(), 2 * NET_HASH_INTERVAL);
    EXPECT_LE(p.host.merged.size(), 2 * NET_HASH_INTERVAL + NET_INPUT_DELAY + 2);
}

TEST(NetLockstep, ADifferentBuildIsRefusedAndBothKnowEachOthersBuild) {
    Pair p({}, 1, "1.0.1 20261224");
    run(p.net, p.host, p.joiner, 5, 1000);
    EXPECT_EQ(p.host.ls.endReason(), NetEnd::VERSION);
    EXPECT_EQ(p.joiner.ls.endReason(), NetEnd::VERSION);
    EXPECT_EQ(p.host.ls.peerBuild(), "1.0.1 20261224");
    EXPECT_EQ(p.joiner.ls.peerBuild(), BUILD);
    EXPECT_EQ(p.joiner.ls.peerProtocol(), NET_PROTOCOL);
    EXPECT_TRUE(p.host.merged.empty() && p.joiner.merged.empty());
}

// --- Packets that must be dropped -------------------------------------------------

// Builds packets the way the other machine would, written out byte by byte.
std::vector<uint8_t> u32(uint32_t v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}
std::vector<uint8_t> cat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}
std::vector<uint8_t> text(const std::string& s) {
    std::vector<uint8_t> out{static_cast<uint8_t>(s.size())};
    for (char c : s)
        out.push_back(static_cast<uint8_t>(c));
    return out;
}
std::vector<uint8_t> keysPacket(uint32_t ack, uint32_t first, const std::vector<Frame>& frames) {
    std::vector<uint8_t> p = cat({{4, NET_PROTOCOL}, u32(ack), u32(first)});
    p.push_back(static_cast<uint8_t>(frames.size()));
    for (const Frame& f : frames) {
        p.push_back(static_cast<uint8_t>(f.size()));
        for (const NetKey& k : f) {
            p.push_back(k.pressed);
            p.push_back(k.code);
        }
    }
    return p;
}
std::vector<uint8_t> hashPacket(uint32_t frame, uint64_t hash) {
    std::vector<uint8_t> p = cat({{5, NET_PROTOCOL}, u32(frame)});
    for (int i = 0; i < 8; ++i)
        p.push_back(static_cast<uint8_t>(hash >> (8 * i)));
    return p;
}

// A running host whose partner is the test, writing its packets by hand. The host has
// begun frame 0: its keys for frame NET_INPUT_DELAY are out.
struct LoneHost {
    LoneHost() {
        net.connect();
        net.setTime(1);
        host.update(1);
        net.host.inject(cat({{1, NET_PROTOCOL}, text(BUILD)}));
        host.update(1);
        host.beginFrame(1);
    }
    // Hands over the packet; returns how many packets the host counted as bad.
    uint32_t give(const std::vector<uint8_t>& packet) {
        const uint32_t before = host.stats().badPackets;
        net.host.inject(packet);
        host.update(static_cast<uint32_t>(net.now()));
        return host.stats().badPackets - before;
    }
    MemoryNet net;
    Lockstep host{net.host, 0, BUILD, SEED};
};
struct HostAlone : testing::Test, LoneHost {};

TEST_F(HostAlone, AcceptsAWellFormedPacketOfKeys) {
    ASSERT_TRUE(host.running());
    // Frames 0 and 1 are empty on both sides; the joiner's first keys are for frame 2.
    EXPECT_EQ(give(keysPacket(2, 2, {{{1, SC_UP}}})), 0u);
    EXPECT_EQ(give(keysPacket(2, 2, {{{1, SC_UP}}, {}})), 0u) << "frames sent again";
    EXPECT_EQ(give(hashPacket(0, 42)), 0u);
    EXPECT_TRUE(host.frameReady());
    EXPECT_TRUE(host.takeFrame(0).empty());
}

TEST_F(HostAlone, DropsAndCountsEveryMalformedOrForbiddenPacket) {
    const std::vector<uint8_t> good = keysPacket(2, 2, {{{1, SC_UP}}});
    std::vector<uint8_t> wrongProtocol = good;
    wrongProtocol[1] = NET_PROTOCOL + 1;
    std::vector<uint8_t> trailing = good;
    trailing.push_back(0);
    std::vector<uint8_t> truncated(good.begin(), good.end() - 1);
    std::vector<uint8_t> shortHash = hashPacket(0, 1);
    shortHash.pop_back();
    std::vector<uint8_t> tooManyKeys =
        keysPacket(2, 2, {Frame(NET_MAX_KEYS_PER_FRAME + 1, {0, SC_UP})});
    std::vector<uint8_t> tooManyFrames =
        keysPacket(2, 2, std::vector<Frame>(NET_MAX_FRAMES_PER_PACKET + 1));
    struct Case {
        const char* what;
        std::vector<uint8_t> packet;
    };
    const Case cases[] = {
        {"nothing at all", {}},
        {"a type alone", {4}},
        {"an unknown type", {9, NET_PROTOCOL, 0, 0}},
        {"another protocol", wrongProtocol},
        {"keys with a byte too many", trailing},
        {"keys cut short", truncated},
        {"a header cut short", {4, NET_PROTOCOL, 2, 0, 0, 0, 2, 0}},
        {"more keys in a frame than allowed", tooManyKeys},
        {"more frames than allowed", tooManyFrames},
        {"pressed neither 0 nor 1", keysPacket(2, 2, {{{2, SC_UP}}})},
        {"player A's key from player B", keysPacket(2, 2, {{{1, SC_W}}})},
        {"scan code 0", keysPacket(2, 2, {{{1, 0}}})},
        {"the computer driver's key", keysPacket(2, 2, {{{1, SC_C}}})},
        {"a frame beyond a gap", keysPacket(2, 3, {{{1, SC_UP}}})},
        {"frames too far ahead", keysPacket(2, 2, std::vector<Frame>(5))},
        {"a frame number from the far future", keysPacket(2, 0xFFFFFFF0u, {{}})},
        {"confirming keys never sent", keysPacket(4, 2, {{}})},
        {"a hash between the compared frames", hashPacket(7, 1)},
        {"a hash of a frame not reached", hashPacket(NET_HASH_INTERVAL, 1)},
        {"a hash cut short", shortHash},
        {"a second hello", cat({{1, NET_PROTOCOL}, text(BUILD)})},
        {"a welcome to the host", cat({{2, NET_PROTOCOL}, u32(1), text(BUILD)})},
        {"a refusal to the host", cat({{3, NET_PROTOCOL}, text(BUILD)})},
    };
    // Each case against a fresh host, so that none depends on another.
    for (const Case& c : cases) {
        LoneHost fresh;
        EXPECT_EQ(fresh.give(c.packet), 1u) << c.what;
        EXPECT_TRUE(fresh.host.running()) << c.what;
        EXPECT_EQ(fresh.host.frame(), 0u) << c.what;
        fresh.host.takeFrame(0);
        fresh.host.beginFrame(1);
        fresh.host.takeFrame(0);
        fresh.host.beginFrame(1);
        EXPECT_FALSE(fresh.host.frameReady()) << c.what << ": no keys of it were taken in";
    }
}

TEST_F(HostAlone, DropsAKeyFrameThatChangesWhenSentAgain) {
    EXPECT_EQ(give(keysPacket(2, 2, {{{1, SC_UP}}})), 0u);
    EXPECT_EQ(give(keysPacket(2, 2, {{{1, SC_DOWN}}, {}})), 1u);
    host.takeFrame(0);
    host.beginFrame(2);
    host.takeFrame(0);
    host.beginFrame(3);
    ASSERT_TRUE(host.frameReady());
    EXPECT_EQ(host.takeFrame(0), (Frame{{1, SC_UP}})) << "the first word stands";
    EXPECT_FALSE(host.frameReady()) << "frame 3 of the dropped packet was not taken in";
}

TEST_F(HostAlone, DropsASecondHashForTheSameFrame) {
    EXPECT_EQ(give(hashPacket(0, 42)), 0u);
    EXPECT_EQ(give(hashPacket(0, 43)), 1u);
    host.takeFrame(42);
    EXPECT_TRUE(host.running()) << "the first hash agreed";
    EXPECT_EQ(host.stats().comparedHashes, 1u);
}

TEST(NetLockstep, JoinerDropsAMalformedWelcomeAndKeepsWaiting) {
    const struct {
        const char* what;
        std::vector<uint8_t> packet;
    } cases[] = {
        {"a control character in the build", cat({{2, NET_PROTOCOL}, u32(1), text("1.0\n")})},
        {"a build longer than allowed",
         cat({{2, NET_PROTOCOL}, u32(1), text(std::string(NET_BUILD_MAX + 1, 'x'))})},
        {"a length beyond the packet", cat({{2, NET_PROTOCOL}, u32(1), {20, 'a'}})},
        {"keys before the welcome", keysPacket(2, 2, {{}})},
    };
    for (const auto& c : cases) {
        MemoryNet net;
        Lockstep joiner(net.joiner, 1, BUILD, 0);
        net.connect();
        joiner.update(0);
        net.joiner.inject(c.packet);
        joiner.update(0);
        EXPECT_FALSE(joiner.running()) << c.what;
        EXPECT_EQ(joiner.endReason(), NetEnd::NONE) << c.what;
        net.joiner.inject(cat({{2, NET_PROTOCOL}, u32(99), text(BUILD)}));
        joiner.update(0);
        EXPECT_TRUE(joiner.running()) << c.what << ": a good welcome still counts";
        EXPECT_EQ(joiner.seed(), 99u) << c.what;
    }
}

TEST(NetLockstep, AHelloOfAnotherProtocolIsRefusedWithThisBuild) {
    MemoryNet net;
    Lockstep host(net.host, 0, BUILD, SEED);
    net.connect();
    host.update(0);
    net.host.inject(cat({{1, NET_PROTOCOL + 1}, text(BUILD)}));
    host.update(0);
    EXPECT_EQ(host.endReason(), NetEnd::VERSION);
    EXPECT_EQ(host.peerProtocol(), NET_PROTOCOL + 1);
    NetEvent e;
    ASSERT_TRUE(net.joiner.poll(e)); // CONNECTED
    ASSERT_TRUE(net.joiner.poll(e));
    EXPECT_EQ(e.data, cat({{3, NET_PROTOCOL}, text(BUILD)}))
        << "the refusal names the host's build";
    ASSERT_TRUE(net.joiner.poll(e));
    EXPECT_EQ(e.type, NetEvent::DISCONNECTED);
    EXPECT_EQ(e.reason, static_cast<uint32_t>(NetEnd::VERSION));
}

TEST_F(HostAlone, SurvivesRandomBytes) {
    // Random packets, and good packets with random bytes changed: none may crash the
    // host or stop it; what passes the checks is taken in like the other machine's words.
    std::mt19937 random(2026);
    const std::vector<uint8_t> good = keysPacket(2, 2, {{{1, SC_UP}, {0, SC_UP}}, {}});
    uint32_t bad = 0;
    const uint32_t before = host.stats().packetsIn;
    constexpr int PACKETS = 20000;
    for (int i = 0; i < PACKETS; ++i) {
        std::vector<uint8_t> p;
        if (i % 2 == 0) {
            p.resize(random() % 64);
            for (uint8_t& b : p)
                b = static_cast<uint8_t>(random());
            if (!p.empty() && random() % 2 == 0) p[0] = static_cast<uint8_t>(1 + random() % 5);
            if (p.size() > 1 && random() % 2 == 0) p[1] = NET_PROTOCOL;
        } else {
            p = good;
            for (int flips = 1 + static_cast<int>(random() % 3); flips > 0; --flips)
                p[random() % p.size()] ^= static_cast<uint8_t>(1u << (random() % 8));
        }
        bad += give(p);
        ASSERT_EQ(host.stats().packetsIn - before, static_cast<uint32_t>(i + 1));
        if (!host.running()) {
            // Only a hash that happens to be well formed may end the game: it differs.
            ASSERT_EQ(host.endReason(), NetEnd::DESYNC) << "packet " << i;
            break;
        }
        ASSERT_EQ(host.frame(), 0u);
    }
    EXPECT_GT(bad, (host.stats().packetsIn - before) * 9 / 10)
        << "random bytes are nearly all refused";
}

} // namespace
