// The lockstep of a network game: the handshake, the packets of keys and state hashes with
// their checks, the mapping of this machine's keys to its player, and the merge of both
// players' keys into one frame.
#include "net.h"

#include "sdltk.h"

#include <algorithm>

// ---------------------------------------------------------------------------------
// Keys
// ---------------------------------------------------------------------------------

// What each key of a machine means for player A and for player B: both sets of driving
// keys (accelerate, brake, steer left, steer right, in pairs) drive the machine's own
// player; Enter and Escape are the same for both.
struct KeyMeaning {
    uint8_t code;
    uint8_t meaning[2];
};
static const KeyMeaning KEY_MEANINGS[] = {
    {SC_W, {SC_W, SC_UP}},
    {SC_UP, {SC_W, SC_UP}},
    {SC_LSHIFT, {SC_LSHIFT, SC_RSHIFT}},
    {SC_RSHIFT, {SC_LSHIFT, SC_RSHIFT}},
    {SC_S, {SC_S, SC_DOWN}},
    {SC_DOWN, {SC_S, SC_DOWN}},
    {SC_LCTRL, {SC_LCTRL, SC_RCTRL}},
    {SC_RCTRL, {SC_LCTRL, SC_RCTRL}},
    {SC_A, {SC_A, SC_LEFT}},
    {SC_LEFT, {SC_A, SC_LEFT}},
    {SC_D, {SC_D, SC_RIGHT}},
    {SC_RIGHT, {SC_D, SC_RIGHT}},
    {SC_ENTER, {SC_ENTER, SC_ENTER}},
    {SC_ESCAPE, {SC_ESCAPE, SC_ESCAPE}},
};

static uint8_t meaningOf(int player, uint8_t code) {
    for (const KeyMeaning& k : KEY_MEANINGS)
        if (k.code == code) return k.meaning[player];
    return 0;
}

bool netKeyBelongsTo(int player, uint8_t code) {
    if (player < 0 || player > 1 || code == 0) return false;
    for (const KeyMeaning& k : KEY_MEANINGS)
        if (k.meaning[player] == code) return true;
    return false;
}

void NetKeyMap::key(bool pressed, uint8_t code, std::vector<NetKey>& out) {
    const uint8_t meaning = meaningOf(player_, code);
    // Auto-repeat, and the release of a key pressed before the game began, change nothing.
    if (meaning == 0 || localHeld_[code] == pressed) return;
    localHeld_[code] = pressed;
    if (pressed) {
        if (meaningHeld_[meaning]++ == 0) out.push_back({1, meaning});
    } else {
        if (--meaningHeld_[meaning] == 0) out.push_back({0, meaning});
    }
}

uint64_t netHash(uint64_t h, const void* data, size_t size) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) {
        h ^= bytes[i];
        h *= 1099511628211ull;
    }
    return h;
}

// ---------------------------------------------------------------------------------
// Packets: a type byte, the protocol, then the fields, little-endian.
// ---------------------------------------------------------------------------------
//   hello    1, protocol, build (length byte, characters)             joiner -> host
//   refusal  3, protocol, build                                        host -> joiner
//   welcome  2, protocol, seed u32, build                              host -> joiner
//   keys     4, protocol, ack u32, first u32, count u8,
//            count x (n u8, n x (pressed u8, code u8))                 both, unreliable
//   hash     5, protocol, frame u32, hash u64                          both
// ack: frames of the receiver's keys that the sender has. A keys packet carries the
// sender's frames first .. first + count - 1: all of them that were not yet confirmed.

enum PacketType : uint8_t { HELLO = 1, WELCOME = 2, REFUSAL = 3, KEYS = 4, HASH = 5 };

namespace {

struct Writer {
    std::vector<uint8_t> bytes;
    void u8(uint32_t v) { bytes.push_back(static_cast<uint8_t>(v)); }
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i)
            u8(v >> (8 * i));
    }
    void u64(uint64_t v) {
        for (int i = 0; i < 8; ++i)
            u8(static_cast<uint32_t>(v >> (8 * i)));
    }
    void text(const std::string& s) {
        u8(static_cast<uint32_t>(s.size()));
        bytes.insert(bytes.end(), s.begin(), s.end());
    }
};

// Reads fields until the packet runs out, after which every read fails.
struct Reader {
    const std::vector<uint8_t>& bytes;
    size_t at = 0;
    bool ok = true;
    explicit Reader(const std::vector<uint8_t>& b) : bytes(b) {}
    bool has(size_t n) {
        ok = ok && bytes.size() - at >= n;
        return ok;
    }
    uint8_t u8() { return has(1) ? bytes[at++] : 0; }
    uint32_t u32() {
        if (!has(4)) return 0;
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<uint32_t>(bytes[at++]) << (8 * i);
        return v;
    }
    uint64_t u64() {
        if (!has(8)) return 0;
        uint64_t v = 0;
        for (int i = 0; i < 8; ++i)
            v |= static_cast<uint64_t>(bytes[at++]) << (8 * i);
        return v;
    }
    // A build description: printable characters only, so that it can be shown.
    std::string text() {
        const size_t n = u8();
        if (n > NET_BUILD_MAX || !has(n)) {
            ok = false;
            return {};
        }
        std::string s(bytes.begin() + at, bytes.begin() + at + n);
        at += n;
        for (char c : s)
            if (c < 0x20 || c > 0x7E) ok = false;
        return s;
    }
    // Everything read, nothing left over.
    bool complete() const { return ok && at == bytes.size(); }
};

} // namespace

static std::vector<uint8_t> buildPacket(uint8_t type, const std::string& build) {
    Writer w;
    w.u8(type);
    w.u8(NET_PROTOCOL);
    w.text(build);
    return w.bytes;
}

// ---------------------------------------------------------------------------------
// The lockstep
// ---------------------------------------------------------------------------------

Lockstep::Lockstep(NetLink& link, int player, const std::string& build, uint32_t seed)
    : link_(link), player_(player), build_(build.substr(0, NET_BUILD_MAX)), keyMap_(player),
      seed_(player == 0 ? seed : 0) {
    // The first frames carry no keys on either side: a key pressed in frame 0 counts in
    // frame NET_INPUT_DELAY.
    local_.assign(NET_INPUT_DELAY, {});
    remote_.assign(NET_INPUT_DELAY, {});
}

void Lockstep::update(uint32_t nowMs) {
    NetEvent event;
    while (end_ == NetEnd::NONE && link_.poll(event)) {
        switch (event.type) {
        case NetEvent::CONNECTED:
            connected_ = true;
            lastHeardMs_ = nowMs;
            if (player_ == 1) link_.send(buildPacket(HELLO, build_), true);
            break;
        case NetEvent::PACKET:
            ++stats_.packetsIn;
            lastHeardMs_ = nowMs;
            receive(event.data);
            break;
        case NetEvent::DISCONNECTED: {
            // Without a reason the connection timed out. A partner that gave up waiting
            // has simply left, as far as this machine is concerned.
            const uint32_t r = event.reason;
            NetEnd why = NetEnd::QUIT;
            if (r == 0)
                why = NetEnd::SILENT;
            else if (r <= static_cast<uint32_t>(NetEnd::BROKEN) &&
                     r != static_cast<uint32_t>(NetEnd::CANCELLED))
                why = static_cast<NetEnd>(r);
            finish(why, false);
            break;
        }
        }
    }
    if (end_ != NetEnd::NONE) return;
    if (connected_ && nowMs - lastHeardMs_ > NET_SILENCE_MS) {
        finish(NetEnd::SILENT, true);
        return;
    }
    // Once this frame's keys are out and it waits for the other machine's.
    const bool begun = localSent_ > frame_ + NET_INPUT_DELAY;
    if (running() && begun && !frameReady() && nowMs - lastSentMs_ >= NET_RESEND_MS) {
        ++stats_.resends;
        sendInput(nowMs);
    }
}

void Lockstep::localKey(bool pressed, uint8_t code) {
    // Keys from before the game began stay out of it: it starts with nothing held.
    if (running()) keyMap_.key(pressed, code, pending_);
}

void Lockstep::beginFrame(uint32_t nowMs) {
    if (!running()) return;
    const size_t n = std::min(pending_.size(), static_cast<size_t>(NET_MAX_KEYS_PER_FRAME));
    local_.emplace_back(pending_.begin(), pending_.begin() + n);
    pending_.erase(pending_.begin(), pending_.begin() + n);
    ++localSent_;
    if (localSent_ - peerHas_ > NET_MAX_UNCONFIRMED) {
        finish(NetEnd::BROKEN, true);
        return;
    }
    sendInput(nowMs);
}

bool Lockstep::frameReady() const {
    return running() && remoteHave_ > frame_ && localSent_ > frame_;
}

std::vector<NetKey> Lockstep::takeFrame(uint64_t stateHash) {
    std::vector<NetKey> merged;
    if (!frameReady()) return merged;
    if (frame_ % NET_HASH_INTERVAL == 0) {
        myHashes_[frame_] = stateHash;
        Writer w;
        w.u8(HASH);
        w.u8(NET_PROTOCOL);
        w.u32(frame_);
        w.u64(stateHash);
        link_.send(w.bytes, true);
        compareHashes(frame_);
        if (!running()) return merged;
    }
    const std::vector<NetKey>& mine = local_[frame_ - localBase_];
    const std::vector<NetKey>& theirs = remote_[frame_ - remoteBase_];
    const std::vector<NetKey>* keys[2] = {&mine, &theirs};
    if (player_ == 1) std::swap(keys[0], keys[1]);
    for (int p = 0; p < 2; ++p) {
        for (const NetKey& k : *keys[p]) {
            // Enter and Escape are one key for both players: it goes down when the first
            // presses it and comes up when the last lets go.
            const int shared = k.code == SC_ENTER ? 0 : k.code == SC_ESCAPE ? 1 : -1;
            if (shared >= 0) {
                bool& mineHeld = sharedHeld_[p][shared];
                if (mineHeld == (k.pressed != 0)) continue;
                mineHeld = k.pressed != 0;
                if (sharedHeld_[1 - p][shared]) continue;
            }
            merged.push_back(k);
        }
    }
    ++frame_;
    trim();
    return merged;
}

void Lockstep::end(NetEnd why) {
    finish(why, true);
}

void Lockstep::finish(NetEnd why, bool here) {
    if (end_ != NetEnd::NONE) return;
    end_ = why;
    endedHere_ = here;
    link_.close(why);
}

void Lockstep::trim() {
    while (localBase_ < std::min(frame_, peerHas_) && !local_.empty()) {
        local_.pop_front();
        ++localBase_;
    }
    while (remoteBase_ < frame_ && !remote_.empty()) {
        remote_.pop_front();
        ++remoteBase_;
    }
}

void Lockstep::sendInput(uint32_t nowMs) {
    Writer w;
    w.u8(KEYS);
    w.u8(NET_PROTOCOL);
    w.u32(remoteHave_);
    const uint32_t first = peerHas_;
    const uint32_t count =
        std::min(localSent_ - first, static_cast<uint32_t>(NET_MAX_FRAMES_PER_PACKET));
    w.u32(first);
    w.u8(count);
    for (uint32_t f = first; f < first + count; ++f) {
        const std::vector<NetKey>& keys = local_[f - localBase_];
        w.u8(static_cast<uint32_t>(keys.size()));
        for (const NetKey& k : keys) {
            w.u8(k.pressed);
            w.u8(k.code);
        }
    }
    link_.send(w.bytes, false);
    lastSentMs_ = nowMs;
}

void Lockstep::receive(const std::vector<uint8_t>& p) {
    if (p.size() < 2) {
        ++stats_.badPackets;
        return;
    }
    bool good = false;
    switch (p[0]) {
    case HELLO: // to the host
    case WELCOME:
    case REFUSAL: // to the joiner
        if ((p[0] == HELLO) == (player_ == 0) && connected_ && !running_) {
            receiveGreeting(p);
            return;
        }
        break;
    case KEYS:
        // Keys sent right after the welcome may overtake it: they come again.
        if (!running_) return;
        good = p[1] == NET_PROTOCOL && receiveInput(p);
        break;
    case HASH:
        if (!running_) return;
        good = p[1] == NET_PROTOCOL && receiveHash(p);
        break;
    default:
        break;
    }
    if (!good) ++stats_.badPackets;
}

void Lockstep::receiveGreeting(const std::vector<uint8_t>& p) {
    Reader r(p);
    const uint8_t type = r.u8();
    const int protocol = r.u8();
    const uint32_t seed = type == WELCOME ? r.u32() : 0;
    const std::string build = r.text();
    if (!r.complete()) {
        ++stats_.badPackets;
        return;
    }
    peerProtocol_ = protocol;
    peerBuild_ = build;
    if (type == REFUSAL) {
        finish(NetEnd::VERSION, false);
        return;
    }
    if (protocol != NET_PROTOCOL || build != build_) {
        // Two builds may compute the race differently: the host refuses, saying which
        // build it is, so that both machines can name both.
        if (type == HELLO) link_.send(buildPacket(REFUSAL, build_), true);
        finish(NetEnd::VERSION, true);
        return;
    }
    if (type == HELLO) {
        Writer w;
        w.u8(WELCOME);
        w.u8(NET_PROTOCOL);
        w.u32(seed_);
        w.text(build_);
        link_.send(w.bytes, true);
    } else {
        seed_ = seed;
    }
    running_ = true;
}

bool Lockstep::receiveInput(const std::vector<uint8_t>& p) {
    Reader r(p);
    r.u8();
    r.u8();
    const uint32_t ack = r.u32();
    const uint32_t first = r.u32();
    const uint32_t count = r.u8();
    if (!r.ok || count > NET_MAX_FRAMES_PER_PACKET) return false;
    // It cannot confirm keys not yet sent, nor skip frames this machine lacks. It is at
    // most at the frame after the last one this machine sent, and sends its keys for
    // NET_INPUT_DELAY frames beyond that.
    if (ack > localSent_ || first > remoteHave_) return false;
    if (static_cast<uint64_t>(first) + count > localSent_ + NET_INPUT_DELAY + 1) return false;
    std::vector<std::vector<NetKey>> frames(count);
    const int sender = 1 - player_;
    for (std::vector<NetKey>& keys : frames) {
        const uint32_t n = r.u8();
        if (!r.ok || n > NET_MAX_KEYS_PER_FRAME) return false;
        for (uint32_t i = 0; i < n; ++i) {
            const uint8_t pressed = r.u8();
            const uint8_t code = r.u8();
            if (!r.ok || pressed > 1 || !netKeyBelongsTo(sender, code)) return false;
            keys.push_back({pressed, code});
        }
    }
    if (!r.complete()) return false;
    // A frame sent again must say the same as before.
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t f = first + i;
        if (f >= remoteBase_ && f < remoteHave_ && remote_[f - remoteBase_] != frames[i])
            return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (first + i == remoteHave_) {
            remote_.push_back(std::move(frames[i]));
            ++remoteHave_;
        }
    }
    peerHas_ = std::max(peerHas_, ack);
    trim();
    return true;
}

bool Lockstep::receiveHash(const std::vector<uint8_t>& p) {
    Reader r(p);
    r.u8();
    r.u8();
    const uint32_t frame = r.u32();
    const uint64_t hash = r.u64();
    if (!r.complete() || frame % NET_HASH_INTERVAL != 0) return false;
    // Only a frame it has reached (it needs this machine's keys for it), and only once.
    if (frame >= localSent_ || peerHashes_.count(frame) != 0) return false;
    if (frame < frame_ && myHashes_.count(frame) == 0) return false; // compared already
    peerHashes_[frame] = hash;
    compareHashes(frame);
    return true;
}

void Lockstep::compareHashes(uint32_t frame) {
    const auto mine = myHashes_.find(frame);
    const auto theirs = peerHashes_.find(frame);
    if (mine == myHashes_.end() || theirs == peerHashes_.end()) return;
    if (mine->second != theirs->second) {
        desyncFrame_ = frame;
        finish(NetEnd::DESYNC, true);
        return;
    }
    ++stats_.comparedHashes;
    myHashes_.erase(mine);
    peerHashes_.erase(theirs);
}
