// SPDX-FileCopyrightText: 2026 The kun2wyt authors
// SPDX-License-Identifier: MIT

#include "output_naming.hpp"

#include <algorithm>

namespace kun2wyt {

derived_name default_output_name(std::string_view input_name) noexcept
{
    // Only the file's own name is cut and searched: cutting the whole path could move the
    // output into another folder.
    auto const folder_end = input_name.rfind('/') + 1; // 0 without a '/'
    auto const folder = first_bytes(input_name, folder_end);
    auto file = input_name;
    file.remove_prefix(folder_end);

    auto const kept = first_bytes(file, derived_name_copy_limit);
    auto const window_start = kept.size() - std::min(kept.size(), extension_window);

    for (auto const extension : input_extensions) {
        if (auto const at = kept.find(extension, window_start); at != std::string_view::npos) {
            return {folder, output_name(first_bytes(kept, at), output_extension)};
        }
    }
    return {folder, output_name(kept, output_extension)};
}

} // namespace kun2wyt
