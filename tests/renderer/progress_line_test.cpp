#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "tools/render/progress_line.h"

namespace tobrisk {
namespace {

using std::chrono::milliseconds;

TEST(ProgressText, RowsPercentElapsedAndEstimate) {
  struct Case {
    const char* name;
    int done, rows;
    milliseconds elapsed;
    std::string text;
  };
  const Case cases[] = {
      {"no row yet gives no estimate", 0, 1080, milliseconds(1500), "0 of 1080 rows, 0%, 0:01 elapsed"},
      {"half done: as long again", 540, 1080, milliseconds(3200), "540 of 1080 rows, 50%, 0:03 elapsed, about 0:04 left"},
      {"percent rounds down, never 100 early", 1079, 1080, milliseconds(59000),
       "1079 of 1080 rows, 99%, 0:59 elapsed, about 0:01 left"},
      {"all done needs no estimate", 1080, 1080, milliseconds(61000), "1080 of 1080 rows, 100%, 1:01 elapsed"},
      {"hours once past sixty minutes", 100, 200, milliseconds(3723000),
       "100 of 200 rows, 50%, 1:02:03 elapsed, about 1:02:03 left"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatProgress(c.done, c.rows, c.elapsed), c.text) << c.name;
}

}  // namespace
}  // namespace tobrisk
