// SPDX-FileCopyrightText: 2026 The kun2wyt authors
// SPDX-License-Identifier: MIT

#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

namespace kun2wyt {

// The first `count` bytes of `text`, or all of it when it is shorter. Unlike substr it has no
// failure to report, so the program needs no exceptions.
[[nodiscard]] constexpr std::string_view first_bytes(std::string_view text, std::size_t count) noexcept
{
    return {text.data(), std::min(text.size(), count)};
}

// A name held in a fixed buffer of `Capacity` bytes plus the terminator, so that it can be handed
// to open() as it stands.
template <std::size_t Capacity>
class bounded_name {
public:
    static constexpr std::size_t capacity = Capacity;

    bounded_name() = default;

    // Keeps the first `capacity` bytes of `head` followed by `tail`; anything beyond is cut.
    explicit bounded_name(std::string_view head, std::string_view tail = {}) noexcept
        : whole_(head.size() + tail.size() <= capacity)
    {
        head = first_bytes(head, capacity);
        tail = first_bytes(tail, capacity - head.size());
        auto const end
            = std::copy(tail.begin(), tail.end(), std::copy(head.begin(), head.end(), bytes_.begin()));
        size_ = static_cast<std::size_t>(end - bytes_.begin());
        bytes_[size_] = '\0';
    }

    [[nodiscard]] std::string_view view() const noexcept { return {bytes_.data(), size_}; }
    [[nodiscard]] char const* c_str() const noexcept { return bytes_.data(); }
    // False when the name was cut to fit.
    [[nodiscard]] bool whole() const noexcept { return whole_; }

private:
    std::array<char, capacity + 1> bytes_{};
    std::size_t size_ = 0;
    bool whole_ = true;
};

// The output file's name as the report prints it: at most its first 255 bytes.
inline constexpr std::size_t shown_name_limit = 255;
using output_name = bounded_name<shown_name_limit>;

// How much of the input file's name a derived name keeps: room is left for ".wyt" and the
// terminator in an `output_name`.
inline constexpr std::size_t derived_name_copy_limit = 250;

// The tail of the kept name that is searched for the input extension. It is one byte longer
// than the extension, so that a stray byte behind it (run1.kunx) is still found, and dropped.
inline constexpr std::size_t extension_window = 5;

// Tried in this order; other spellings (.Kun) are not extensions.
inline constexpr std::array<std::string_view, 2> input_extensions{".kun", ".KUN"};

inline constexpr std::string_view output_extension = ".wyt";

// The output file's name when none is given, in its two parts: the input's folder, and the file
// name derived for it there.
struct derived_name {
    // Everything up to and including the input name's last '/', a view into it; empty when
    // the name has no '/'. Kept whole, however long, so that the output lands beside the input.
    std::string_view folder;
    // The last part of the input name cut to its first 250 bytes, with a ".kun" or ".KUN" in its
    // last five bytes (and whatever follows it) replaced by ".wyt", or with ".wyt" appended: at
    // most 254 bytes.
    output_name file;
};

// Derives the output file's name from the input file's name. Touches no file and cannot fail:
// `kun2wyt dir/x` derives the same file as `cd dir && kun2wyt x`.
[[nodiscard]] derived_name default_output_name(std::string_view input_name) noexcept;

} // namespace kun2wyt
