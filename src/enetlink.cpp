// The network transport: UDP through ENet. A host takes one partner and turns any further
// machine away; a joiner knocks again every second until the host answers. Channel 0
// carries the reliable packets (handshake, state hashes), channel 1 the keys, unreliable:
// every keys packet repeats the frames not yet confirmed, so a lost one is replaced by the
// next instead of holding up the line until a resend.
#include "net.h"

#include <enet/enet.h>

#include <cstring>

namespace {

constexpr size_t CHANNELS = 2;
constexpr enet_uint8 RELIABLE_CHANNEL = 0;
constexpr enet_uint8 KEYS_CHANNEL = 1;
// A host keeps room for machines it turns away, so that they hear why.
constexpr size_t HOST_PEERS = 4;
// A joiner whose knock went unanswered knocks again after this long (ms).
constexpr enet_uint32 KNOCK_AGAIN_MS = 1000;
// ENet's own check that the partner is there: a ping this often, and the partner gone
// when a reliable packet goes unconfirmed for this long (ms). The lockstep notices a
// silent partner sooner; this catches a partner whose game hangs but whose ENet answers.
constexpr enet_uint32 PING_MS = 250;
constexpr enet_uint32 TIMEOUT_MIN_MS = 2000;
constexpr enet_uint32 TIMEOUT_MAX_MS = 3000;
// At the end, how long a goodbye may take to be confirmed before the connection is
// simply dropped (ms).
constexpr enet_uint32 GOODBYE_MS = 300;

class EnetLink : public NetLink {
  public:
    EnetLink(ENetHost* host, bool hosting, const ENetAddress& target)
        : host_(host), hosting_(hosting), target_(target) {}
    EnetLink(const EnetLink&) = delete;
    EnetLink& operator=(const EnetLink&) = delete;

    ~EnetLink() override {
        close(NetEnd::QUIT);
        // Give the goodbye its chance to arrive, then let go.
        const enet_uint32 start = enet_time_get();
        ENetEvent e;
        while (partner_ && enet_time_get() - start < GOODBYE_MS &&
               enet_host_service(host_, &e, 10) >= 0) {
            if (e.type == ENET_EVENT_TYPE_RECEIVE) enet_packet_destroy(e.packet);
            if (e.type == ENET_EVENT_TYPE_DISCONNECT && e.peer == partner_) partner_ = nullptr;
        }
        if (partner_) enet_peer_reset(partner_);
        enet_host_destroy(host_);
    }

    bool poll(NetEvent& event) override {
        if (closed_) return false;
        if (!hosting_ && !partner_ && enet_time_get() >= knockAt_) knock();
        ENetEvent e;
        while (enet_host_service(host_, &e, 0) > 0) {
            switch (e.type) {
            case ENET_EVENT_TYPE_CONNECT:
                if (!hosting_ && e.peer == partner_) {
                    keepKeys(partner_);
                    connected_ = true;
                    event.type = NetEvent::CONNECTED;
                    return true;
                }
                if (hosting_ && !partner_ && !connected_) {
                    partner_ = e.peer;
                    configure(partner_);
                    keepKeys(partner_);
                    connected_ = true;
                    event.type = NetEvent::CONNECTED;
                    return true;
                }
                // One partner per game: a third machine hears that this one is busy.
                enet_peer_disconnect(e.peer, static_cast<enet_uint32>(NetEnd::BUSY));
                break;
            case ENET_EVENT_TYPE_RECEIVE:
                if (e.peer == partner_ && connected_) {
                    event.type = NetEvent::PACKET;
                    event.data.assign(e.packet->data, e.packet->data + e.packet->dataLength);
                    enet_packet_destroy(e.packet);
                    return true;
                }
                enet_packet_destroy(e.packet);
                break;
            case ENET_EVENT_TYPE_DISCONNECT:
                if (e.peer != partner_) break;
                partner_ = nullptr;
                if (!connected_) { // a knock nobody answered: knock again later
                    knockAt_ = enet_time_get() + KNOCK_AGAIN_MS;
                    break;
                }
                closed_ = true;
                event.type = NetEvent::DISCONNECTED;
                event.reason = e.data;
                return true;
            case ENET_EVENT_TYPE_NONE:
                break;
            }
        }
        return false;
    }

    void send(const std::vector<uint8_t>& packet, bool reliable) override {
        if (closed_ || !partner_ || !connected_) return;
        ENetPacket* p = enet_packet_create(packet.data(), packet.size(),
                                           reliable ? ENET_PACKET_FLAG_RELIABLE : 0);
        if (!p) return;
        if (enet_peer_send(partner_, reliable ? RELIABLE_CHANNEL : KEYS_CHANNEL, p) != 0) {
            enet_packet_destroy(p);
            return;
        }
        enet_host_flush(host_);
    }

    void close(NetEnd why) override {
        if (closed_) return;
        closed_ = true;
        if (!partner_) return;
        if (!connected_) {
            enet_peer_reset(partner_); // still knocking: nobody to tell
            partner_ = nullptr;
        } else if (why == NetEnd::SILENT) {
            // It does not answer: say goodbye once, without waiting for it.
            enet_peer_disconnect_now(partner_, static_cast<enet_uint32>(why));
            partner_ = nullptr;
        } else {
            // After what was already sent reliably (a refusal, say).
            enet_peer_disconnect_later(partner_, static_cast<enet_uint32>(why));
            enet_host_flush(host_);
        }
    }

  private:
    void knock() {
        partner_ = enet_host_connect(host_, &target_, CHANNELS, 0);
        if (partner_) configure(partner_);
        knockAt_ = enet_time_get() + KNOCK_AGAIN_MS;
    }

    static void configure(ENetPeer* peer) {
        enet_peer_ping_interval(peer, PING_MS);
        enet_peer_timeout(peer, 0, TIMEOUT_MIN_MS, TIMEOUT_MAX_MS);
    }

    // ENet slows a peer's unreliable packets down, dropping some, when the round trip
    // grows; the keys are few and small and must not be dropped on purpose. (This is
    // told to the other side too, so only once connected: sent along with the knock it
    // would spoil the knock.)
    static void keepKeys(ENetPeer* peer) {
        enet_peer_throttle_configure(peer, ENET_PEER_PACKET_THROTTLE_INTERVAL,
                                     ENET_PEER_PACKET_THROTTLE_ACCELERATION, 0);
    }

    ENetHost* host_;
    bool hosting_;
    ENetAddress target_;
    ENetPeer* partner_ = nullptr;
    bool connected_ = false;
    bool closed_ = false;
    enet_uint32 knockAt_ = 0;
};

} // namespace

bool netStartup(std::string& error) {
    if (enet_initialize() != 0) {
        error = "cannot start the network library (ENet)";
        return false;
    }
    return true;
}

void netShutdown() {
    enet_deinitialize();
}

bool netResolve(const std::string& name, uint16_t port, NetAddress& out, std::string& error) {
    ENetAddress a{};
    if (name.empty() || enet_address_set_host(&a, name.c_str()) != 0) {
        error = "cannot find the machine '" + name + "'";
        return false;
    }
    out.host = a.host;
    out.port = port;
    return true;
}

std::string netAddressText(const NetAddress& a) {
    ENetAddress e{};
    e.host = a.host;
    char text[64] = "?";
    if (enet_address_get_host_ip(&e, text, sizeof text) != 0) std::strcpy(text, "?");
    return std::string(text) + ":" + std::to_string(a.port);
}

std::unique_ptr<NetLink> netListen(uint16_t port, std::string& error, uint16_t* boundPort) {
    ENetAddress a{};
    a.host = ENET_HOST_ANY;
    a.port = port;
    ENetHost* host = enet_host_create(&a, HOST_PEERS, CHANNELS, 0, 0);
    if (!host) {
        error = "cannot listen on UDP port " + std::to_string(port) +
                " (is another program, or another game, using it?)";
        return nullptr;
    }
    if (boundPort) *boundPort = host->address.port;
    return std::make_unique<EnetLink>(host, true, a);
}

std::unique_ptr<NetLink> netConnect(const NetAddress& to, std::string& error) {
    ENetHost* host = enet_host_create(nullptr, 1, CHANNELS, 0, 0);
    if (!host) {
        error = "cannot open a UDP socket";
        return nullptr;
    }
    ENetAddress target{};
    target.host = to.host;
    target.port = to.port;
    return std::make_unique<EnetLink>(host, false, target);
}
