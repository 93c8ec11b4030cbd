#include "tools/pyramid/pyramid_folder.h"

#include <array>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>

#include "tools/pyramid/viewer_page.h"
#include "tools/safe_output/utf8_path.h"

namespace tobrisk {
namespace {

namespace fs = std::filesystem;

// A file's hidden temporary twin (".index.html.Ab3xYz"), left only by a
// write that could not clean up.
bool IsTemporaryOf(std::string_view name, std::string_view file) {
  return name.size() == file.size() + 8 && name.starts_with('.') && name.substr(1, file.size()) == file &&
         name[file.size() + 1] == '.';
}

bool IsPyramidEntry(const fs::directory_entry& entry) {
  const std::string name = Utf8OfPath(entry.path().filename());
  std::error_code error;
  if (name == kTilesFolderName) return entry.is_directory(error);
  const std::array<std::string_view, 4> files{kDescriptorName, kPageName, kViewerScriptName, kViewerLicenceName};
  for (const std::string_view file : files) {
    if (name == file || IsTemporaryOf(name, file)) return entry.is_regular_file(error);
  }
  return false;
}

// A page another program wrote is not ours to replace.
bool PageIsOurs(const fs::path& page) {
  std::ifstream in(page, std::ios::binary);
  if (!in) return true;  // none yet
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return text.find("<meta name=\"generator\" content=\"tobrisk-render ") != std::string::npos;
}

}  // namespace

void PreparePyramidFolder(const fs::path& folder) {
  std::error_code error;
  const fs::file_status status = fs::status(folder, error);
  if (fs::exists(status) && !fs::is_directory(status)) {
    throw PyramidFolderRefused("--pyramid: " + Utf8OfPath(folder) + " is not a folder");
  }
  if (fs::exists(status)) {
    bool empty = true;
    bool hasTiles = false;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
      empty = false;
      if (!IsPyramidEntry(entry)) {
        throw PyramidFolderRefused("--pyramid: " + Utf8OfPath(folder) + " holds " + Utf8OfPath(entry.path().filename()) +
                                   ", so it is not a pyramid: give an empty or new folder");
      }
      hasTiles = hasTiles || entry.path().filename() == kTilesFolderName;
    }
    if (error) throw std::runtime_error("cannot read the folder " + Utf8OfPath(folder) + ": " + error.message());
    if (!empty && (!hasTiles || !PageIsOurs(folder / kPageName))) {
      throw PyramidFolderRefused("--pyramid: " + Utf8OfPath(folder) +
                                 " holds files but no pyramid of tobrisk-render: give an empty or new folder");
    }
  }
  fs::create_directories(folder / kTilesFolderName, error);
  if (error) {
    throw std::runtime_error("cannot make the folder " + Utf8OfPath(folder / kTilesFolderName) + ": " + error.message());
  }
}

}  // namespace tobrisk
