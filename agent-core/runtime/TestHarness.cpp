#include "agent-core/runtime/TestHarness.hpp"

#include "platform/process/Process.hpp"

#include <array>
#include <string>

// Defined only by the support code that every test program links.
extern "C" const int kestrava_test_harness_marker __attribute__((weak));

namespace kestrava {
namespace {

bool probe() {
    const process::Environment environment = process::environment();
    static constexpr std::array testVariables{"XCTestConfigurationFilePath", "XCTestSessionIdentifier",
                                              "XCTestBundlePath", "KESTRAVA_TEST_HARNESS"};
    for (const char* variable : testVariables) {
        if (environment.contains(variable)) {
            return true;
        }
    }
    const std::string name = process::name();
    return name == "xctest" || name.starts_with("ctest") || name.ends_with("PackageTests") ||
           &kestrava_test_harness_marker != nullptr;
}

} // namespace

bool isRunningUnderTests() {
    static const bool underTests = probe();
    return underTests;
}

} // namespace kestrava
