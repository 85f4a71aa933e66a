// SPDX-FileCopyrightText: 2026 The kun2wyt authors
// SPDX-License-Identifier: MIT

#pragma once

#include <span>

namespace kun2wyt {

inline constexpr int exit_success = 0;
inline constexpr int exit_failure = 1;

// One run of the program over its argument vector (args[0] is the name it was started under and
// is not used). Every message goes to the descriptor `out`; the result is the exit status.
// Descriptors the run opens are closed when it returns.
[[nodiscard]] int run(std::span<char const* const> args, int out) noexcept;

} // namespace kun2wyt
