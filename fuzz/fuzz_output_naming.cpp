// SPDX-FileCopyrightText: 2026 The kun2wyt authors
// SPDX-License-Identifier: MIT

// The naming rule on arbitrary names, checked against what it promises rather than against a
// second copy of itself.
#include "output_naming.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void require(bool holds)
{
    if (!holds) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size)
{
    // A name on the command line ends at its first NUL byte.
    std::string_view input(reinterpret_cast<char const*>(data), size);
    input = input.substr(0, input.find('\0'));

    // The folder is kept whole, and the file's own name derives as it would without it:
    // `kun2wyt dir/x` makes the same file as `cd dir && kun2wyt x`.
    auto const [folder, name] = kun2wyt::default_output_name(input);
    auto const file = input.substr(folder.size());
    require(input.starts_with(folder) && (folder.empty() || folder.ends_with('/')));
    require(file.find('/') == std::string_view::npos);
    require(kun2wyt::default_output_name(file).file.view() == name.view());
    require(kun2wyt::default_output_name(file).folder.empty());

    auto const derived = name.view();
    auto const kept = file.substr(0, std::min(file.size(), kun2wyt::derived_name_copy_limit));

    require(derived.size() <= kun2wyt::derived_name_copy_limit + kun2wyt::output_extension.size());
    require(derived.size() == std::string_view(name.c_str()).size());
    require(derived.ends_with(kun2wyt::output_extension));

    // The stem is the start of the kept name: all of it, or all before an extension that begins
    // in its last five bytes.
    auto const stem = derived.substr(0, derived.size() - kun2wyt::output_extension.size());
    require(kept.starts_with(stem));
    if (stem.size() < kept.size()) {
        auto const rest = kept.substr(stem.size());
        require(rest.starts_with(".kun") || rest.starts_with(".KUN"));
        require(rest.size() <= kun2wyt::extension_window);
    } else {
        auto const window = kept.substr(kept.size() - std::min(kept.size(), kun2wyt::extension_window));
        require(window.find(".kun") == std::string_view::npos);
        require(window.find(".KUN") == std::string_view::npos);
    }
    if (kept.ends_with(".kun") || kept.ends_with(".KUN")) {
        require(stem == kept.substr(0, kept.size() - 4));
    }
    return 0;
}
