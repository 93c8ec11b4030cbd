#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "engine/types.h"
#include "tools/view_record/record_text.h"
#include "ui/fields.h"

namespace tobrisk {

// A view as tobrisk-render read it, which its files carry so that they can be
// drawn again, enlarged or checked: the texts exactly as given, never the
// numbers they became, since only the texts reproduce every rounding.
struct ViewRecord {
  FractalKind kind = FractalKind::Mandelbrot;
  ByField<std::string> fields;
  int width = 0;
  int height = 0;
  // The colour options given (key, text as typed), in the order of kColourKeys.
  std::vector<std::pair<std::string, std::string>> colours;
  friend bool operator==(const ViewRecord&, const ViewRecord&) = default;
};

// The keys of the colour options a record holds when they were given.
inline constexpr std::string_view kColourKeys[] = {"Tobrisk Palette", "Tobrisk Cycle", "Tobrisk Inside"};

// The longest value a record holds: the longest argument Linux passes to a
// program (128 KiB with its NUL), so that any value typed can be stored and
// read back, and a longer one read from a file is refused.
inline constexpr std::size_t kMaxRecordValue = 128 * 1024 - 1;

// A key from a file as a message quotes it: anything but printable ASCII as
// \xHH, since the file may hold what would act on a terminal.
[[nodiscard]] std::string ShownKey(std::string_view key);

// The texts stored for a record, the program's name and version first: the
// same record gives the same texts on every machine.
[[nodiscard]] std::vector<RecordText> RecordTexts(const ViewRecord& record, std::string_view software);

// The record held by a file's texts, or what is wrong with them. Texts of
// other programs are passed over; a Tobrisk key twice, one missing, a value
// too long or with a character outside printable ASCII are refused.
[[nodiscard]] std::variant<ViewRecord, std::string> RecordFromTexts(std::span<const RecordText> texts);

// What keeps a record from being stored, if anything: a value too long or not
// printable ASCII (a field text can hold anything a user typed).
[[nodiscard]] std::optional<std::string> RecordProblem(const ViewRecord& record);

// The record as tobrisk-render arguments, each with its value after "=", so
// that no value is ever read as an option.
[[nodiscard]] std::vector<std::string> RecordArguments(const ViewRecord& record);

// The record as the window shows it: the chosen kind, then each field's
// caption and text, one a line; then the size and colour options, which the
// window does not have.
[[nodiscard]] std::string RecordAsWindowText(const ViewRecord& record);

}  // namespace tobrisk
