// SPDX-License-Identifier: MIT
// The reader of the view a picture or count map holds. Input: the bytes of a
// file. Whatever they are, reading returns a view or throws ViewFileError
// (never anything else, never a crash or a leak); and a view it returns is
// one a file can hold: its values printable and short enough, and stored
// again, it reads back as itself.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "tools/view_record/png_view_reader.h"
#include "tools/view_record/view_file.h"
#include "tools/view_record/view_record.h"

namespace {

using namespace tobrisk;

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "%s\n", what.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;  // fmemopen refuses an empty buffer; OpenViewFile answers it before reading
  std::vector<std::uint8_t> bytes(data, data + size);
  std::FILE* stream = fmemopen(bytes.data(), bytes.size(), "rb");
  if (stream == nullptr) Fail("fmemopen failed");
  std::optional<ViewRecord> record;
  try {
    record = ReadViewRecord(stream);
  } catch (const ViewFileError& error) {
    if (std::string(error.what()).empty()) Fail("a refusal without a reason");
  }
  std::fclose(stream);
  if (!record) return 0;

  if (const std::optional<std::string> problem = RecordProblem(*record)) Fail("read a view it cannot store: " + *problem);
  const auto again = RecordFromTexts(RecordTexts(*record, "fuzz"));
  const auto* back = std::get_if<ViewRecord>(&again);
  if (back == nullptr) Fail("a view read does not read back: " + std::get<std::string>(again));
  if (back->kind != record->kind || back->fields != record->fields || back->width != record->width ||
      back->height != record->height || back->colours != record->colours) {
    Fail("a view read reads back as another");
  }
  return 0;
}
