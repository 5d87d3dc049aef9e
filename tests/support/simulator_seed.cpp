#include "support/simulator_seed.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace dravolin::test {

namespace {

constexpr unsigned kDefaultSeed = 1;

std::optional<unsigned> seedFromEnvironment() {
    const char* text = std::getenv("DRAVOLIN_TEST_SEED");
    if (text == nullptr || *text == '\0') {
        return kDefaultSeed;
    }
    const std::string_view digits(text);
    unsigned seed = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), seed);
    if (error != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return seed;
}

class SeedOfFailures : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo& test) override {
        if (test.result()->Failed()) {
            std::printf(
                "[   SEED   ] %s.%s ran its simulated programmers with seed %u: "
                "DRAVOLIN_TEST_SEED=%u repeats it\n",
                test.test_suite_name(), test.name(), simulatorSeed(), simulatorSeed());
        }
    }
};

}  // namespace

unsigned simulatorSeed() {
    static const unsigned seed = seedFromEnvironment().value_or(kDefaultSeed);
    return seed;
}

void nameTheSeedOfFailures() {
    if (!seedFromEnvironment()) {
        std::fprintf(stderr, "DRAVOLIN_TEST_SEED must be a whole number from 0 up, not '%s'\n",
                     std::getenv("DRAVOLIN_TEST_SEED"));
        std::exit(2);
    }
    // The listener list owns what is appended to it.
    ::testing::UnitTest::GetInstance()->listeners().Append(new SeedOfFailures);
}

}  // namespace dravolin::test
