// Two NetLink ends joined in memory, with a clock the test moves: packets take a delay
// with jitter, and the unreliable ones may be lost or repeated, as on a real network.
// Reliable packets always arrive, in order. The test can also drop an end dead (nothing
// it sent arrives any more) or put any bytes in front of an end as if they had arrived.
#pragma once

#include "net.h"

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

struct NetConditions {
    uint32_t delayMs = 0;  // one way
    uint32_t jitterMs = 0; // added to the delay, uniformly 0..jitterMs
    double loss = 0;       // share of unreliable packets lost
    double repeat = 0;     // share of unreliable packets that arrive twice
};

class MemoryNet {
  public:
    class End : public NetLink {
      public:
        bool poll(NetEvent& event) override {
            if (inbox_.empty()) return false;
            // The earliest due event; among equals the first sent.
            size_t best = 0;
            for (size_t j = 1; j < inbox_.size(); ++j)
                if (inbox_[j].at < inbox_[best].at ||
                    (inbox_[j].at == inbox_[best].at && inbox_[j].seq < inbox_[best].seq))
                    best = j;
            if (inbox_[best].at > net_->now_) return false;
            event = inbox_[best].event;
            inbox_.erase(inbox_.begin() + static_cast<long>(best));
            return true;
        }
        void send(const std::vector<uint8_t>& packet, bool reliable) override {
            if (closed_ || dead_) return;
            ++sent_;
            NetEvent e;
            e.type = NetEvent::PACKET;
            e.data = packet;
            net_->deliver(*other_, e, reliable);
        }
        void close(NetEnd why) override {
            if (closed_) return;
            closed_ = true;
            closedWith_ = why;
            if (dead_) return;
            NetEvent e;
            e.type = NetEvent::DISCONNECTED;
            e.reason = static_cast<uint32_t>(why);
            net_->deliver(*other_, e, true);
        }
        // Bytes that arrive now, as if sent by the other end.
        void inject(const std::vector<uint8_t>& bytes) {
            NetEvent e;
            e.type = NetEvent::PACKET;
            e.data = bytes;
            inbox_.push_back({net_->now_, net_->seq_++, e});
        }
        // From now on nothing this end sends arrives (a machine that crashed).
        void die() { dead_ = true; }
        bool closed() const { return closed_; }
        NetEnd closedWith() const { return closedWith_; }
        uint32_t sent() const { return sent_; }

      private:
        friend class MemoryNet;
        struct Pending {
            uint64_t at;
            uint64_t seq;
            NetEvent event;
        };
        MemoryNet* net_ = nullptr;
        End* other_ = nullptr;
        std::vector<Pending> inbox_;
        uint64_t lastReliableAt_ = 0;
        bool closed_ = false;
        bool dead_ = false;
        NetEnd closedWith_ = NetEnd::NONE;
        uint32_t sent_ = 0;
    };

    explicit MemoryNet(NetConditions c = {}, uint32_t seed = 1) : conditions_(c), random_(seed) {
        host.net_ = joiner.net_ = this;
        host.other_ = &joiner;
        joiner.other_ = &host;
    }

    // Both ends learn of the connection after one delay.
    void connect() {
        NetEvent e;
        e.type = NetEvent::CONNECTED;
        deliver(host, e, true);
        deliver(joiner, e, true);
    }
    void setTime(uint64_t nowMs) { now_ = nowMs; }
    uint64_t now() const { return now_; }

    End host, joiner;

  private:
    void deliver(End& to, const NetEvent& e, bool reliable) {
        std::uniform_real_distribution<double> chance(0.0, 1.0);
        std::uniform_int_distribution<uint32_t> jitter(0, conditions_.jitterMs);
        int copies = 1;
        if (!reliable) {
            if (chance(random_) < conditions_.loss) copies = 0;
            if (copies && chance(random_) < conditions_.repeat) copies = 2;
        }
        for (int i = 0; i < copies; ++i) {
            uint64_t at = now_ + conditions_.delayMs + jitter(random_);
            if (reliable) {
                at = std::max(at, to.lastReliableAt_);
                to.lastReliableAt_ = at;
            }
            to.inbox_.push_back({at, seq_++, e});
        }
    }

    NetConditions conditions_;
    std::mt19937 random_;
    uint64_t now_ = 0;
    uint64_t seq_ = 0;
};
