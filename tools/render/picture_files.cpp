#include "tools/render/picture_files.h"

#include <string>
#include <vector>

#include "tobrisk/version.h"
#include "tools/colour/picture_colours.h"
#include "tools/render/view_of_options.h"

namespace tobrisk {
namespace {

// Every file carries the view it shows, and nothing that varies between runs or machines.
std::vector<RecordText> RecordOf(const RenderOptions& options) {
  return RecordTexts(RecordOfOptions(options), "tobrisk-render " + std::string(kVersion));
}

}  // namespace

PictureFiles::PictureFiles(const RenderOptions& options, const DrawParameters& params, int deflateThreads)
    : picture_(options.output),
      counts_(options.counts ? std::make_unique<OutputFile>(*options.counts) : nullptr),
      png_(picture_.Stream(), options.output, options.width, options.height,
           ColoursFor(ColouringOf(options), params.MaxIter), PngDeflate{.threads = deflateThreads}, RecordOf(options)),
      countMap_(counts_ ? std::make_unique<CountMapWriter>(counts_->Stream(), *options.counts, options.width,
                                                           options.height, RecordOf(options),
                                                           LargestPossibleCount(params.MaxIter), counts_->Rewritable())
                        : nullptr),
      surface_(options.width, options.height, png_, countMap_.get()) {}

void PictureFiles::Commit() {
  png_.Finish();
  picture_.Finish();
  if (countMap_) countMap_->Finish();
  if (counts_) counts_->Finish();
  // Both files are complete before either replaces anything, and they replace together.
  OutputFile::CommitTogether({&picture_, counts_.get()});
}

}  // namespace tobrisk
