#pragma once

namespace dravolin::test {

// The seed of every simulated programmer the tests start, in-process or as voska-sim: the
// environment's DRAVOLIN_TEST_SEED, or 1. The bytes the programmer may fill as it likes
// vary with it, so the suites can be run with several seeds.
unsigned simulatorSeed();

// For a test main: refuses a DRAVOLIN_TEST_SEED that is no number (ending the program with
// status 2), and names the seed under each failing test so that its run can be repeated.
void nameTheSeedOfFailures();

}  // namespace dravolin::test
