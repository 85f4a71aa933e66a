// SPDX-FileCopyrightText: 2026 The kun2wyt authors
// SPDX-License-Identifier: MIT

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

std::string full(kun2wyt::derived_name const& name)
{
    return std::string(name.folder) + std::string(name.file.view());
}

std::string const letters_246(246, 'a');
std::string const letters_250(250, 'a');
std::string const folder_60 = std::string(59, 'd') + "/";
std::string const four_folders = folder_60 + folder_60 + folder_60 + folder_60; // 240 bytes

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
    {"a/.kun", "a/.wyt"}, // the window stays inside the file's own name
    {"a.ku/n", "a.ku/n.wyt"},
    // Long paths: only the file's own name is cut, so the output stays beside the input.
    {four_folders + "run1.kun", four_folders + "run1.wyt"},
    {std::string(249, 'e') + "/in.kun", std::string(249, 'e') + "/in.wyt"},
    {std::string(200, 'f') + "/" + std::string(100, 'g') + "/x.kun",
        std::string(200, 'f') + "/" + std::string(100, 'g') + "/x.wyt"},
    {four_folders + std::string(296, 'a') + ".kun", four_folders + letters_250 + ".wyt"},
    {four_folders + letters_250 + ".wyt", four_folders + letters_250 + ".wyt"},
};

class naming : public testing::TestWithParam<naming_case> {};

TEST_P(naming, derives_the_output_name)
{
    auto const& [input, derived] = GetParam();
    auto const name = kun2wyt::default_output_name(input);
    EXPECT_EQ(full(name), derived);
    EXPECT_EQ(std::string(name.file.c_str()), name.file.view()); // terminated where it ends
    EXPECT_LE(name.file.view().size(), 254U);
}

INSTANTIATE_TEST_SUITE_P(table, naming, testing::ValuesIn(naming_cases));

// `kun2wyt dir/x` makes the same file as `cd dir && kun2wyt x`.
TEST(naming, a_folder_changes_nothing_but_where)
{
    for (auto const& folder :
        {std::string("/"), std::string("d/"), four_folders, std::string(300, 'h') + "/x/"}) {
        for (auto const& c : naming_cases) {
            if (c.input.find('/') != std::string::npos) {
                continue;
            }
            auto const input = folder + c.input;
            auto const name = kun2wyt::default_output_name(input);
            EXPECT_EQ(name.folder, folder);
            EXPECT_EQ(name.file.view(), c.derived) << folder << c.input;
        }
    }
}

TEST(bounded_name, keeps_the_first_bytes_and_says_so)
{
    std::string const long_name = std::string(255, 'x') + "tail";
    kun2wyt::output_name const cut(long_name);
    EXPECT_EQ(cut.view(), long_name.substr(0, 255));
    EXPECT_EQ(std::string(cut.c_str()).size(), 255U);
    EXPECT_FALSE(cut.whole());
    EXPECT_TRUE(kun2wyt::output_name(std::string(251, 'x'), ".wyt").whole());
    EXPECT_EQ(kun2wyt::output_name(std::string(253, 'x'), ".wyt").view(), std::string(253, 'x') + ".w");
}

} // namespace
