#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "util/second_core.h"

using namespace kovirant;

// Every item's then() in order, after its work, whoever did the work; never
// more work under way than the window allows; the same as all of it here.
TEST(SecondCore, InOrderKeepsTheOrderAndTheWindow) {
    constexpr std::size_t kItems = 200;
    for (const std::size_t ahead : {std::size_t{0}, std::size_t{2}, std::numeric_limits<std::size_t>::max()}) {
        for (const bool share : {true, false}) {
            std::vector<std::atomic<int>> worked(kItems);
            std::atomic<std::size_t> consumed{0}, widest{0};
            std::vector<std::size_t> order;
            bool firstRan = false, firstBeforeThen = true;
            inOrder(
                kItems,
                [&](std::size_t k) {
                    const std::size_t gap = k - consumed.load();
                    for (std::size_t w = widest.load(); gap > w && !widest.compare_exchange_weak(w, gap);) {}
                    worked[k].fetch_add(1);
                },
                [&](std::size_t k) {
                    firstBeforeThen = firstBeforeThen && firstRan;
                    EXPECT_EQ(worked[k].load(), 1) << k;
                    order.push_back(k);
                    consumed.store(k + 1);
                },
                {ahead, share}, [&] { firstRan = true; });
            std::vector<std::size_t> expected(kItems);
            for (std::size_t k = 0; k < kItems; ++k) expected[k] = k;
            EXPECT_EQ(order, expected) << ahead << share;
            EXPECT_TRUE(firstBeforeThen);
            EXPECT_LE(widest.load(), ahead) << share;
        }
    }
}

// Work that throws on the other core fails the caller with its exception,
// where an in-place run would (after the items before it), never std::terminate.
TEST(SecondCore, AnExceptionOnTheOtherCoreIsThrownHere) {
    if (!hasSecondCore()) GTEST_SKIP() << "one core: nothing runs elsewhere";
    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<bool> taken{false}, elsewhere{false};
    std::vector<std::size_t> consumed;
    const auto run = [&] {
        inOrder(
            3,
            [&](std::size_t k) {
                if (k != 1) return;
                taken = true;
                elsewhere = std::this_thread::get_id() != caller;
                throw std::runtime_error("item 1");
            },
            [&](std::size_t k) { consumed.push_back(k); }, {},
            // Here first until the other core has taken item 1 (item 0 is done here or there by then).
            [&] {
                while (!taken) std::this_thread::yield();
            });
    };
    EXPECT_THROW(
        try { run(); } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "item 1");
            throw;
        },
        std::runtime_error);
    EXPECT_TRUE(elsewhere);
    EXPECT_EQ(consumed, std::vector<std::size_t>{0});

    Later<int> failing([&]() -> int {
        elsewhere = std::this_thread::get_id() != caller;
        throw std::runtime_error("later");
    });
    EXPECT_TRUE(failing.elsewhere());
    EXPECT_THROW(failing.get(), std::runtime_error);
    EXPECT_TRUE(elsewhere);
}
