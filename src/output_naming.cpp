#include "output_naming.hpp"

#include <algorithm>

namespace kun2wyt {

output_name::output_name(std::string_view head, std::string_view tail) noexcept
{
    head = head.substr(0, std::min(head.size(), capacity));
    tail = tail.substr(0, std::min(tail.size(), capacity - head.size()));
    std::ranges::copy(tail, std::ranges::copy(head, bytes_.begin()).out);
    size_ = head.size() + tail.size();
    bytes_.at(size_) = '\0';
}

output_name default_output_name(std::string_view input_name) noexcept
{
    auto const kept = input_name.substr(0, std::min(input_name.size(), derived_name_copy_limit));
    auto const window_start = kept.size() - std::min(kept.size(), extension_window);

    for (auto const extension : input_extensions) {
        if (auto const at = kept.find(extension, window_start); at != std::string_view::npos) {
            return output_name(kept.substr(0, at), output_extension);
        }
    }
    return output_name(kept, output_extension);
}

} // namespace kun2wyt
