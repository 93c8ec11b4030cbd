#pragma once

#include <filesystem>
#include <stdexcept>

namespace tobrisk {

// The pyramid's folder holds something else: the user named the wrong one.
class PyramidFolderRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What a pyramid's folder holds, by name.
inline constexpr const char* kDescriptorName = "picture.dzi";
inline constexpr const char* kTilesFolderName = "picture_files";
inline constexpr const char* kPageName = "index.html";

// Makes the folder (and its parents) when missing. An existing folder is
// taken when empty or when it holds a pyramid (tiles and nothing but a
// pyramid's files), so that shards, and a render over an old pyramid, share
// it; anything else throws PyramidFolderRefused rather than filling someone's
// folder with tiles. Other failures throw std::runtime_error.
void PreparePyramidFolder(const std::filesystem::path& folder);

}  // namespace tobrisk
