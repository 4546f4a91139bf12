// The ENet transport between links in one process on 127.0.0.1: the handshake and frames
// of keys, a third machine turned away, a partner that leaves, a port already in use.
#include "net.h"
#include "sdltk.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

const std::string BUILD = "1.0.0 20261209";

uint32_t nowMs() {
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// Updates the lockstep machines until done() or a time limit (ms); returns done().
template <class Done>
bool until(std::initializer_list<Lockstep*> machines, Done done, uint32_t limitMs = 5000) {
    const uint32_t start = nowMs();
    while (!done()) {
        if (nowMs() - start > limitMs) return false;
        for (Lockstep* m : machines)
            m->update(nowMs());
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

struct EnetLink : testing::Test {
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(netStartup(error)) << error;
        hostLink = netListen(0, error, &port);
        ASSERT_TRUE(hostLink) << error;
        ASSERT_NE(port, 0);
        NetAddress address;
        ASSERT_TRUE(netResolve("127.0.0.1", port, address, error)) << error;
        EXPECT_EQ(netAddressText(address), "127.0.0.1:" + std::to_string(port));
        joinLink = netConnect(address, error);
        ASSERT_TRUE(joinLink) << error;
        host = std::make_unique<Lockstep>(*hostLink, 0, BUILD, 4242);
        joiner = std::make_unique<Lockstep>(*joinLink, 1, BUILD, 0);
        ASSERT_TRUE(until({host.get(), joiner.get()},
                          [&] { return host->running() && joiner->running(); }));
    }
    void TearDown() override {
        host.reset();
        joiner.reset();
        hostLink.reset();
        joinLink.reset();
        netShutdown();
    }
    uint16_t port = 0;
    std::unique_ptr<NetLink> hostLink, joinLink;
    std::unique_ptr<Lockstep> host, joiner;
};

TEST_F(EnetLink, TwoMachinesAgreeAndShareTheirKeysFrameByFrame) {
    EXPECT_EQ(joiner->seed(), 4242u);
    std::vector<std::vector<NetKey>> got[2];
    Lockstep* machines[2] = {host.get(), joiner.get()};
    for (uint32_t frame = 0; frame < 40; ++frame) {
        if (frame == 3) joiner->localKey(true, SC_W); // either set: W means Up for B
        if (frame == 5) host->localKey(true, SC_RIGHT);
        for (Lockstep* m : machines)
            m->beginFrame(nowMs());
        for (int i = 0; i < 2; ++i) {
            ASSERT_TRUE(
                until({host.get(), joiner.get()}, [&] { return machines[i]->frameReady(); }))
                << "frame " << frame;
            got[i].push_back(machines[i]->takeFrame(frame));
        }
    }
    EXPECT_EQ(got[0], got[1]);
    EXPECT_EQ(got[0][3 + NET_INPUT_DELAY], (std::vector<NetKey>{{1, SC_UP}}));
    EXPECT_EQ(got[0][5 + NET_INPUT_DELAY], (std::vector<NetKey>{{1, SC_D}}));
    EXPECT_EQ(host->stats().badPackets + joiner->stats().badPackets, 0u);
    EXPECT_EQ(host->stats().comparedHashes, 2u);
}

TEST_F(EnetLink, AThirdMachineIsTurnedAwayAndTheGameGoesOn) {
    std::string error;
    NetAddress address;
    ASSERT_TRUE(netResolve("127.0.0.1", port, address, error));
    std::unique_ptr<NetLink> thirdLink = netConnect(address, error);
    ASSERT_TRUE(thirdLink) << error;
    Lockstep third(*thirdLink, 1, BUILD, 0);
    EXPECT_TRUE(until({host.get(), joiner.get(), &third},
                      [&] { return third.endReason() != NetEnd::NONE; }));
    EXPECT_EQ(third.endReason(), NetEnd::BUSY);
    EXPECT_FALSE(third.running());
    EXPECT_TRUE(host->running());
    EXPECT_TRUE(joiner->running());
}

TEST_F(EnetLink, APartnerThatLeavesIsNoticedAtOnce) {
    joiner->end(NetEnd::QUIT);
    const uint32_t start = nowMs();
    joinLink.reset(); // says goodbye on the way out
    EXPECT_TRUE(until(
        {host.get()}, [&] { return !host->running(); }, 3000));
    EXPECT_EQ(host->endReason(), NetEnd::QUIT);
    EXPECT_LT(nowMs() - start, 1000u);
}

TEST_F(EnetLink, ASecondHostOnTheSamePortIsRefusedWithAReason) {
    std::string error;
    EXPECT_EQ(netListen(port, error), nullptr);
    EXPECT_NE(error.find("UDP port " + std::to_string(port)), std::string::npos) << error;
    NetAddress address;
    EXPECT_FALSE(netResolve("", port, address, error));
    EXPECT_FALSE(error.empty());
}

} // namespace
