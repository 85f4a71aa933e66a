#include "output_naming.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

struct naming_case {
    std::string input;
    std::string derived;
};

void PrintTo(naming_case const& c, std::ostream* os)
{
    *os << '"' << c.input << '"';
}

std::string const letters_246(246, 'a');
std::string const letters_250(250, 'a');

naming_case const naming_cases[] = {
    {"run1.kun", "run1.wyt"},
    {"RUN1.KUN", "RUN1.wyt"},
    {"data/run1.kun", "data/run1.wyt"},
    {"run1.kunx", "run1.wyt"}, // one byte behind the extension is dropped
    {"run1.kunxy", "run1.kunxy.wyt"}, // two are too many: the window is five bytes
    {"run1.Kun", "run1.Kun.wyt"}, // mixed case is no extension
    {"run1.dat", "run1.dat.wyt"},
    {"a.kun.dat", "a.kun.dat.wyt"}, // an extension before the window is not seen
    {"my.kun.kun", "my.kun.wyt"},
    {"x.kun", "x.wyt"},
    {".kun", ".wyt"}, // shorter than the window: searched from the start
    {"abc", "abc.wyt"},
    {"", ".wyt"},
    {"kun", "kun.wyt"},
    {".KUNx", ".wyt"},
    {"a.wyt", "a.wyt.wyt"},
    {std::string(296, 'a') + ".kun", letters_250 + ".wyt"}, // cut first, then searched
    {letters_246 + ".kunxyz", letters_246 + ".wyt"}, // the cut brings .kun back into the window
    {letters_250 + ".wyt", letters_250 + ".wyt"}, // derives the input's own name
    {std::string(245, 'a') + ".kun" + std::string(9, 'b'), std::string(245, 'a') + ".wyt"},
    {"dir.kun/file", "dir.kun/file.wyt"},
};

class naming : public testing::TestWithParam<naming_case> {};

TEST_P(naming, derives_the_output_name)
{
    auto const& [input, derived] = GetParam();
    auto const name = kun2wyt::default_output_name(input);
    EXPECT_EQ(name.view(), derived);
    EXPECT_EQ(std::string(name.c_str()), derived); // terminated where it ends
    EXPECT_LE(name.view().size(), 254U);
}

INSTANTIATE_TEST_SUITE_P(table, naming, testing::ValuesIn(naming_cases));

TEST(output_name, keeps_the_first_255_bytes)
{
    std::string const long_name = std::string(255, 'x') + "tail";
    EXPECT_EQ(kun2wyt::output_name(long_name).view(), long_name.substr(0, 255));
    EXPECT_EQ(std::string(kun2wyt::output_name(long_name).c_str()).size(), 255U);
}

} // namespace
