// kyrotune --help and --version, the real program started where there is no display and no Qt
// platform is named: they answer and end with 0.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Answer {
    const char* option;
    std::vector<std::string> expected;  // each of them is in the output
};

class CommandLineTest : public ::testing::TestWithParam<Answer> {};

TEST_P(CommandLineTest, AnswersWithoutADisplay) {
    const std::string command = std::string("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '") +
                                KYRO_EXECUTABLE + "' " + GetParam().option + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    std::array<char, 512> buffer;
    while (const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) output.append(buffer.data(), n);
    const int status = ::pclose(pipe);

    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
    for (const std::string& text : GetParam().expected) EXPECT_NE(output.find(text), std::string::npos) << text << " in:\n" << output;
}

INSTANTIATE_TEST_SUITE_P(
    Options, CommandLineTest,
    ::testing::Values(Answer{"--help",
                             {"--folder DIR", "--to-midi IN OUT", "--to-wav IN OUT [--map none|88|55|GM|8P]", "FILE…"}},
                      Answer{"--version", {"kyrotune " KYRO_VERSION "\n"}}),
    [](const ::testing::TestParamInfo<Answer>& info) { return std::string(info.param.option + 2); });

}  // namespace
