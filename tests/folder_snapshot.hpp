// SPDX-FileCopyrightText: 2026 The kun2wyt authors
// SPDX-License-Identifier: MIT

#pragma once

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

// Everything below `dir` by path relative to it, with its content: folders end in "/", and links
// show their target instead of being followed. Two snapshots compare equal exactly when nothing
// was created, removed or changed in between.
inline std::map<std::string, std::string> folder_snapshot(std::filesystem::path const& dir)
{
    std::map<std::string, std::string> files;
    for (auto const& entry : std::filesystem::recursive_directory_iterator(
             dir, std::filesystem::directory_options::skip_permission_denied)) {
        auto const path = entry.path().lexically_relative(dir).string();
        if (entry.is_symlink()) {
            files[path] = "-> " + std::filesystem::read_symlink(entry).string();
        } else if (entry.is_directory()) {
            files[path + "/"] = "";
        } else {
            std::ostringstream content;
            content << std::ifstream(entry.path(), std::ios::binary).rdbuf();
            files[path] = content.str();
        }
    }
    return files;
}
