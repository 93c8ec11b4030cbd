#include "tools/render/picture_files.h"

#include "tools/colour/picture_colours.h"

namespace tobrisk {

PictureFiles::PictureFiles(const RenderOptions& options, const DrawParameters& params, int deflateThreads)
    : picture_(options.output),
      counts_(options.counts ? std::make_unique<OutputFile>(*options.counts) : nullptr),
      png_(picture_.Stream(), options.output, options.width, options.height,
           ColoursFor(ColouringOf(options), params.MaxIter), PngDeflate{.threads = deflateThreads}),
      countMap_(counts_ ? std::make_unique<CountMapWriter>(counts_->Stream(), *options.counts, options.width,
                                                           options.height)
                        : nullptr),
      surface_(options.width, options.height, png_, countMap_.get()) {}

void PictureFiles::Commit() {
  png_.Finish();
  picture_.Finish();
  if (counts_) counts_->Finish();
  // Both files are complete before either replaces anything, and they replace together.
  OutputFile::CommitTogether({&picture_, counts_.get()});
}

}  // namespace tobrisk
