#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace kun2wyt {

// The output file's name as the report prints it: at most 255 bytes, kept terminated so that it
// can be handed to open() as it stands.
class output_name {
public:
    static constexpr std::size_t capacity = 255;

    output_name() = default;

    // Keeps the first `capacity` bytes of `head` followed by `tail`; anything beyond is cut.
    explicit output_name(std::string_view head, std::string_view tail = {}) noexcept;

    [[nodiscard]] std::string_view view() const noexcept { return {bytes_.data(), size_}; }
    [[nodiscard]] char const* c_str() const noexcept { return bytes_.data(); }

private:
    std::array<char, capacity + 1> bytes_{};
    std::size_t size_ = 0;
};

// How much of the input name a derived name keeps: room is left for ".wyt" and the terminator.
inline constexpr std::size_t derived_name_copy_limit = 250;

// The tail of the kept name that is searched for the input extension. It is one byte longer
// than the extension, so that a stray byte behind it (run1.kunx) is still found, and dropped.
inline constexpr std::size_t extension_window = 5;

// Tried in this order; other spellings (.Kun) are not extensions.
inline constexpr std::array<std::string_view, 2> input_extensions{".kun", ".KUN"};

inline constexpr std::string_view output_extension = ".wyt";

// The output file's name when none is given: the input name cut to its first 250 bytes, with a
// ".kun" or ".KUN" in its last five bytes (and whatever follows it) replaced by ".wyt", or with
// ".wyt" appended. Directories are kept, so the output lands beside the input. Touches no file.
[[nodiscard]] output_name default_output_name(std::string_view input_name) noexcept;

} // namespace kun2wyt
