#pragma once

#include <string>

namespace tobrisk {

// One text a file stores about how it was made: a PNG text chunk's keyword
// and text, or a count map's comment line.
struct RecordText {
  std::string key;
  std::string value;
  friend bool operator==(const RecordText&, const RecordText&) = default;
};

}  // namespace tobrisk
