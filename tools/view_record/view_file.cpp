#include "tools/view_record/view_file.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "tools/safe_output/file_calls.h"
#include "tools/view_record/pgm_view_reader.h"

namespace tobrisk {

namespace {

ViewFile::Kind KindOf(std::FILE* stream) {
  const int first = std::fgetc(stream);
  if (first == EOF) throw ViewFileError(std::ferror(stream) != 0 ? "it cannot be read" : "it is empty");
  std::ungetc(first, stream);
  if (first == 0x89) return ViewFile::Kind::Picture;
  if (first == 'P') return ViewFile::Kind::CountMap;
  throw ViewFileError("it is neither a PNG nor a count map (PGM)");
}

}  // namespace

ViewFile OpenViewFile(const std::string& path) {
  if (file_calls::Inspect(path).directory) throw ViewFileError("it is a directory");
  ViewFile file;
  file.stream.reset(file_calls::Open(path, "rb"));
  if (!file.stream) throw ViewFileError(std::string("cannot open it: ") + std::strerror(errno));
  file.kind = KindOf(file.stream.get());
  return file;
}

ViewRecord RecordOfTexts(std::span<const RecordText> texts) {
  auto record = RecordFromTexts(texts);
  if (const auto* problem = std::get_if<std::string>(&record)) throw ViewFileError(*problem);
  return std::get<ViewRecord>(std::move(record));
}

namespace {

template <class Reader>
void ExpectSizeOfView(const Reader& reader, const ViewRecord& record) {
  if (reader.Width() != record.width || reader.Height() != record.height) {
    throw ViewFileError(std::string("it is ") + std::to_string(reader.Width()) + "x" + std::to_string(reader.Height()) +
                        " pixels, but its view says " + std::to_string(record.width) + "x" +
                        std::to_string(record.height));
  }
}

}  // namespace

ViewRecord ReadViewRecord(const std::string& path) { return ReadViewRecord(OpenViewFile(path).stream.get()); }

ViewRecord ReadViewRecord(std::FILE* stream) {
  if (KindOf(stream) == ViewFile::Kind::Picture) {
    PngViewReader reader(stream);
    ViewRecord record = RecordOfTexts(reader.Texts());
    ExpectSizeOfView(reader, record);
    reader.Begin(PngViewReader::Rows::AsStored);
    std::vector<std::uint8_t> row(reader.RowBytes());
    for (int y = 0; y < reader.Height(); ++y) reader.ReadRow(row);
    reader.Finish();
    return RecordOfTexts(reader.Texts());  // the texts after the data too: a second view is refused
  }
  PgmViewReader reader(stream);
  ViewRecord record = RecordOfTexts(reader.Texts());
  ExpectSizeOfView(reader, record);
  std::vector<EscapeCount> row(static_cast<std::size_t>(reader.Width()));
  for (int y = 0; y < reader.Height(); ++y) reader.ReadRow(row);
  reader.Finish();
  return record;
}

}  // namespace tobrisk
