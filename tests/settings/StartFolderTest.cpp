#include "settings/StartFolder.h"

#include <gtest/gtest.h>

namespace nomilo {
namespace {

TEST(StartFolderTest, TheFirstArgumentThatIsNotEmptyWhole) {
    const std::string longName = "/" + std::string(300, 'x');
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"nomilo", "/home/ann/My Photos"}, "/home/ann/My Photos"},
        {{"nomilo", "/"}, "/"},
        {{"nomilo", "", "/tmp/a\"b\\ c/", "/usr"}, "/tmp/a\"b\\ c/"},
        {{"nomilo", "/tmp/\xff\xfe"}, "/tmp/\xff\xfe"}, // bytes, not text
        {{"nomilo", longName}, longName},
        {{"nomilo", ""}, ""},
        {{}, ""},
    };
    for (const auto& [arguments, expected] : cases) {
        EXPECT_EQ(StartFolder(arguments), expected);
        std::vector<const char*> argv;
        for (const std::string& argument : arguments)
            argv.push_back(argument.c_str());
        argv.push_back(nullptr);
        EXPECT_EQ(StartFolder(static_cast<int>(arguments.size()), argv.data()), expected);
    }
}

} // namespace
} // namespace nomilo
