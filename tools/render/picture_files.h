#pragma once

#include <memory>

#include "engine/types.h"
#include "tools/count_map/count_map.h"
#include "tools/png/png_rows.h"
#include "tools/render/render_options.h"
#include "tools/render/streaming_surface.h"
#include "tools/safe_output/output_file.h"

namespace tobrisk {

// The files of one picture, the PNG and the count map if asked for, open on
// a surface that streams the rows into them. Nothing replaces an old file
// until Commit; destroyed before, they leave the old files as they were.
class PictureFiles {
 public:
  // `params` as the Draw reads the options' texts; `deflateThreads` as PngDeflate takes them.
  PictureFiles(const RenderOptions& options, const DrawParameters& params, int deflateThreads);
  PictureFiles(const PictureFiles&) = delete;
  PictureFiles& operator=(const PictureFiles&) = delete;

  [[nodiscard]] StreamingSurface& Surface() { return surface_; }
  // Finishes both files, then puts them in place together.
  void Commit();

 private:
  OutputFile picture_;
  std::unique_ptr<OutputFile> counts_;
  PngRowWriter png_;
  std::unique_ptr<CountMapWriter> countMap_;
  StreamingSurface surface_;
};

}  // namespace tobrisk
