// Sets a suite's environment before main (and before any Qt or share-manager static runs), so the
// same settings hold under ctest, under test discovery and when the binary is run by hand.
#include <cstdlib>
#include <string>

namespace {
struct SuiteEnvironment {
    SuiteEnvironment()
    {
        std::string list = ZT7_TEST_ENV;
        size_t start = 0;
        while (start < list.size()) {
            size_t end = list.find('|', start);
            if (end == std::string::npos) end = list.size();
            std::string item = list.substr(start, end - start);
            size_t eq = item.find('=');
            if (eq != std::string::npos && eq > 0)
                setenv(item.substr(0, eq).c_str(), item.substr(eq + 1).c_str(), 1);
            start = end + 1;
        }
    }
} suiteEnvironment;
}  // namespace
