// The entry of every test program. Tests run with a home and data folders of their own, so nothing a
// test does reaches the real user's files, however the program is started.
#include "tests/support/EnvironmentOverride.hpp"
#include "tests/support/TemporaryDirectory.hpp"

#include <gtest/gtest.h>

// Read by LeakSanitizer in the sanitizer build: fontconfig (under Qt's fonts) keeps caches for the life
// of the process and frees none of them at exit.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    const kestrava::test::TemporaryDirectory home;
    const kestrava::test::EnvironmentOverride homeVariable("HOME", home.path().string());
    const kestrava::test::EnvironmentOverride dataHome("XDG_DATA_HOME", (home / "data").string());
    const kestrava::test::EnvironmentOverride stateHome("XDG_STATE_HOME", (home / "state").string());
    return RUN_ALL_TESTS();
}
