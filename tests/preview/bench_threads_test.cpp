// The bench's one-call-at-a-time rule without a module: the guard sees calls that overlap, and the
// module thread runs work asked from many threads one piece at a time, on itself alone.
#include <gtest/gtest.h>

#include <latch>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "tools/preview/module_call_guard.h"
#include "tools/preview/module_thread.h"

namespace {

using gauge_preview::ModuleCallGuard;
using gauge_preview::ModuleThread;

TEST(ModuleCallGuard, CountsCallsAndSeesTwoThreadsInsideAtOnce) {
    ModuleCallGuard guard;
    for (int i = 0; i < 3; ++i) ModuleCallGuard::Call call(guard);
    EXPECT_EQ(guard.counts().made, 3u);
    EXPECT_EQ(guard.counts().overlapping, 0u);
    EXPECT_EQ(guard.counts().most_at_once, 1);

    std::latch both_inside(2);
    const auto enter = [&] {
        ModuleCallGuard::Call call(guard);
        both_inside.arrive_and_wait();
    };
    std::thread first(enter), second(enter);
    first.join();
    second.join();
    EXPECT_EQ(guard.counts().made, 5u);
    EXPECT_EQ(guard.counts().overlapping, 1u);
    EXPECT_EQ(guard.counts().most_at_once, 2);
}

// What lives on the thread: it notes the thread it was made on and runs on, and each call.
struct Owned {
    std::thread::id made_on = std::this_thread::get_id();
    ModuleCallGuard guard;
    std::vector<int> calls;
    bool ran_elsewhere = false;
};

TEST(ModuleThread, RunsWorkFromManyThreadsOneAtATimeOnItself) {
    constexpr int kClients = 8, kCallsEach = 200;
    ModuleThread<Owned> module([] { return std::make_unique<Owned>(); });
    std::vector<std::thread> clients;
    std::vector<std::vector<int>> answers(kClients);
    for (int client = 0; client < kClients; ++client)
        clients.emplace_back([&, client] {
            for (int i = 0; i < kCallsEach; ++i)
                answers[client].push_back(module.Run([&](Owned& owned) {
                    ModuleCallGuard::Call call(owned.guard);
                    owned.ran_elsewhere = owned.ran_elsewhere || std::this_thread::get_id() != owned.made_on;
                    std::this_thread::yield();  // room for another call to come in, were any to
                    owned.calls.push_back(client * kCallsEach + i);
                    return client * kCallsEach + i;
                }));
        });
    for (std::thread& client : clients) client.join();

    const auto [calls, ran_elsewhere, counts] = module.Run([](Owned& owned) {
        return std::make_tuple(owned.calls.size(), owned.ran_elsewhere, owned.guard.counts());
    });
    EXPECT_EQ(calls, std::size_t{kClients * kCallsEach});
    EXPECT_FALSE(ran_elsewhere);
    EXPECT_EQ(counts.overlapping, 0u);
    EXPECT_EQ(counts.most_at_once, 1);
    for (int client = 0; client < kClients; ++client)
        for (int i = 0; i < kCallsEach; ++i) ASSERT_EQ(answers[client][i], client * kCallsEach + i);
}

TEST(ModuleThread, WhatTheWorkOrTheMakingThrowsReachesTheCaller) {
    ModuleThread<Owned> module([] { return std::make_unique<Owned>(); });
    EXPECT_THROW(module.Run([](Owned&) -> int { throw std::runtime_error("the work failed"); }), std::runtime_error);
    EXPECT_EQ(module.Run([](Owned&) { return 7; }), 7);  // and the thread goes on
    EXPECT_THROW(ModuleThread<Owned>([]() -> std::unique_ptr<Owned> { throw std::runtime_error("no module"); }),
                 std::runtime_error);
}

}  // namespace
