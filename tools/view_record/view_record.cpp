#include "tools/view_record/view_record.h"

#include <algorithm>
#include <charconv>

#include "ui/form1_layout.h"

namespace tobrisk {
namespace {

constexpr std::string_view kSoftwareKey = "Software";  // the key PNG itself names for it
constexpr std::string_view kKindKey = "Tobrisk Kind";
constexpr std::string_view kSizeKey = "Tobrisk Size";
constexpr int kMaxSide = 32767;

// The key of each field: its caption, so that a file names it as the window does.
std::string FieldKey(Field field) { return std::string("Tobrisk ") + std::string(FieldCaption(field)); }

constexpr std::string_view KindName(FractalKind kind) { return kind == FractalKind::Julia ? "Julia" : "Mandelbrot"; }

// tobrisk-render's option for each field, in reading order.
constexpr ByField<std::string_view> kFieldOptions{"--xmin", "--xmax",      "--ymin", "--ymax",
                                                  "--iterations", "--real", "--imaginary"};
constexpr std::string_view kColourOptions[] = {"--palette", "--cycle", "--inside"};
static_assert(std::size(kColourOptions) == std::size(kColourKeys));

std::optional<int> ParseSide(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || text.front() == '-' || error != std::errc{} || end != text.data() + text.size()) return {};
  if (value < 1 || value > kMaxSide) return {};
  return value;
}

std::optional<std::string> ValueProblem(std::string_view key, std::string_view value) {
  if (value.size() > kMaxRecordValue) {
    return std::string(key) + " is longer than " + std::to_string(kMaxRecordValue) + " characters";
  }
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return std::string(key) + " holds a control character";
    if (byte > 0x7F) return std::string(key) + " holds a character outside printable ASCII";
  }
  return std::nullopt;
}

}  // namespace

std::string ShownKey(std::string_view key) {
  std::string shown;
  for (const char c : key.substr(0, 80)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F) {
      shown += c;
      continue;
    }
    constexpr std::string_view kHex = "0123456789abcdef";
    shown += "\\x";
    shown += kHex[byte >> 4U];
    shown += kHex[byte & 0xFU];
  }
  return shown;
}

std::vector<RecordText> RecordTexts(const ViewRecord& record, std::string_view software) {
  std::vector<RecordText> texts{{std::string(kSoftwareKey), std::string(software)},
                                {std::string(kKindKey), std::string(KindName(record.kind))}};
  for (const Field field : kAllFields) texts.push_back({FieldKey(field), record.fields[field]});
  texts.push_back({std::string(kSizeKey), std::to_string(record.width) + "x" + std::to_string(record.height)});
  for (const auto& [key, value] : record.colours) texts.push_back({key, value});
  return texts;
}

std::variant<ViewRecord, std::string> RecordFromTexts(std::span<const RecordText> texts) {
  ViewRecord record;
  std::vector<std::string_view> seen;
  const auto find = [&](std::string_view key) -> const RecordText* {
    const auto at = std::find_if(texts.begin(), texts.end(), [&](const RecordText& t) { return t.key == key; });
    return at == texts.end() ? nullptr : &*at;
  };
  bool anyTobrisk = false;
  for (const RecordText& text : texts) {
    if (!text.key.starts_with("Tobrisk ")) continue;  // another program's, or the Software note
    anyTobrisk = true;
    if (std::count_if(texts.begin(), texts.end(), [&](const RecordText& t) { return t.key == text.key; }) > 1) {
      return std::string("the key \"") + ShownKey(text.key) + "\" appears twice";
    }
    if (auto problem = ValueProblem(ShownKey(text.key), text.value)) return *problem;
  }
  if (!anyTobrisk) return std::string("it holds no view written by tobrisk-render");

  const RecordText* kind = find(kKindKey);
  if (kind == nullptr) return std::string("\"") + std::string(kKindKey) + "\" is missing";
  if (kind->value != "Mandelbrot" && kind->value != "Julia") {
    return std::string("\"") + std::string(kKindKey) + "\" is neither Mandelbrot nor Julia";
  }
  record.kind = kind->value == "Julia" ? FractalKind::Julia : FractalKind::Mandelbrot;
  for (const Field field : kAllFields) {
    const RecordText* text = find(FieldKey(field));
    if (text == nullptr) return std::string("\"") + FieldKey(field) + "\" is missing";
    record.fields[field] = text->value;
  }
  const RecordText* size = find(kSizeKey);
  if (size == nullptr) return std::string("\"") + std::string(kSizeKey) + "\" is missing";
  const std::size_t x = size->value.find('x');
  const std::optional<int> width = x == std::string::npos ? std::nullopt : ParseSide(size->value.substr(0, x));
  const std::optional<int> height = x == std::string::npos ? std::nullopt : ParseSide(size->value.substr(x + 1));
  if (!width || !height) return std::string("\"") + std::string(kSizeKey) + "\" is not a size WxH of 1 ... 32767 pixels a side";
  record.width = *width;
  record.height = *height;
  for (const std::string_view key : kColourKeys) {
    if (const RecordText* text = find(key)) record.colours.emplace_back(text->key, text->value);
  }
  return record;
}

std::optional<std::string> RecordProblem(const ViewRecord& record) {
  for (const Field field : kAllFields) {
    if (auto problem = ValueProblem(std::string(FieldCaption(field)), record.fields[field])) return problem;
  }
  for (const auto& [key, value] : record.colours) {
    if (auto problem = ValueProblem(key, value)) return problem;
  }
  return std::nullopt;
}

std::vector<std::string> RecordArguments(const ViewRecord& record) {
  std::vector<std::string> arguments{record.kind == FractalKind::Julia ? "--julia" : "--mandelbrot"};
  for (const Field field : kAllFields) arguments.push_back(std::string(kFieldOptions[field]) + "=" + record.fields[field]);
  arguments.push_back(std::string("--size=") + std::to_string(record.width) + "x" + std::to_string(record.height));
  for (const auto& [key, value] : record.colours) {
    const auto at = std::find(std::begin(kColourKeys), std::end(kColourKeys), key);
    arguments.push_back(std::string(kColourOptions[at - std::begin(kColourKeys)]) + "=" + value);
  }
  return arguments;
}

std::string RecordAsWindowText(const ViewRecord& record) {
  std::string text = std::string(KindName(record.kind)) + " (chosen)\n";
  for (const Field field : kAllFields) {
    text += std::string(FieldCaption(field)) + ": " + record.fields[field] + "\n";
  }
  text += std::string("Size: ") + std::to_string(record.width) + "x" + std::to_string(record.height) + "\n";
  for (const auto& [key, value] : record.colours) text += key.substr(8) + ": " + value + "\n";
  return text;
}

}  // namespace tobrisk
