#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/fast_pass.h"
#include "engine/idle_cores.h"
#include "engine/item_claims.h"
#include "engine/mirror_rows.h"
#include "engine/render_pass.h"
#include "engine/run_time_error.h"
#include "platform/picture.h"
#include "tests/fast/instruction_sets.h"
#include "tests/support/default_views.h"
#include "tests/support/recording_surface.h"

namespace tobrisk {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr auto M = FractalKind::Mandelbrot;
constexpr auto J = FractalKind::Julia;

using test::RecordingSurface;

struct Outcome {
  std::vector<RecordingSurface::Plotted> plots;
  std::optional<RunTimeError> error;
};

Outcome RunPass(const std::function<void(const DrawParameters&, PlotSurface&)>& pass, const DrawParameters& params,
            float width, float height) {
  RecordingSurface surface(width, height);
  Outcome outcome;
  try {
    pass(params, surface);
  } catch (const RunTimeError& error) {
    outcome.error = error;
  }
  outcome.plots = std::move(surface.plots);
  return outcome;
}

std::string Describe(const DrawParameters& p, float width, float height) {
  std::ostringstream text;
  text.precision(9);
  text << (p.Kind == M ? "Mandelbrot" : "Julia") << " X " << p.XMin << " ... " << p.XMax << ", Y " << p.YMin
       << " ... " << p.YMax << ", MaxIter " << p.MaxIter << ", c " << p.P << " + " << p.Q << "i, " << width << " x "
       << height;
  return text.str();
}

// The whole contract: the same plots in the same order, and the same error.
void ExpectSameAsReference(const DrawParameters& params, float width, float height, FastPassOptions options = {}) {
  const Outcome expected = RunPass(RenderPass, params, width, height);
  const Outcome actual = RunPass(
      [options](const DrawParameters& p, PlotSurface& s) { FastRenderPass(p, s, options); }, params,
      width, height);
  const std::string what = Describe(params, width, height) + ", threads " + std::to_string(options.threads) +
                           ", band " + std::to_string(options.bandPixels) + ", mirror budget " +
                           std::to_string(options.mirrorBytes);
  ASSERT_EQ(actual.error.has_value(), expected.error.has_value())
      << what << ": " << (expected.error ? expected.error->what() : actual.error->what());
  if (expected.error) {
    EXPECT_EQ(*actual.error, *expected.error) << what << ": got " << actual.error->what();
  }
  ASSERT_EQ(actual.plots.size(), expected.plots.size()) << what;
  CountComparisons(expected.plots.size() + 1);  // each plot, and the error or its absence
  for (std::size_t i = 0; i < expected.plots.size(); ++i) {
    ASSERT_EQ(actual.plots[i], expected.plots[i]) << what << ": plot number " << i;
  }
}

struct ViewCase {
  const char* name;
  DrawParameters params;
  float width, height;
};

using test::DefaultMandelbrot;
DrawParameters DefaultJulia() { return {-1.5F, 1.5F, -1.5F, 1.5F, 100, 0.3F, 0.6F, J}; }

DrawParameters With(DrawParameters params, float DrawParameters::*member, float value) {
  params.*member = value;
  return params;
}
DrawParameters WithLimit(DrawParameters params, std::int16_t maxIter) {
  params.MaxIter = maxIter;
  return params;
}

std::vector<ViewCase> ChosenViews() {
  return {
      {"default Mandelbrot", DefaultMandelbrot(), 320, 200},
      {"default Julia", DefaultJulia(), 320, 200},
      {"MaxIter 1", WithLimit(DefaultMandelbrot(), 1), 40, 25},
      {"MaxIter 0 Julia", WithLimit(DefaultJulia(), 0), 40, 25},
      {"negative MaxIter", WithLimit(DefaultMandelbrot(), -32768), 40, 25},
      {"MaxIter 2", WithLimit(DefaultMandelbrot(), 2), 40, 25},
      {"inside at 32766", {-0.3F, 0.1F, -0.2F, 0.2F, 32766, 0, 0, M}, 16, 10},
      {"inside at 32767: the counter overflows at the first pixel", {-0.3F, 0.1F, -0.2F, 0.2F, 32767, 0, 0, M}, 64, 40},
      {"inside the bulb at 32766", {-1.1F, -0.9F, -0.1F, 0.1F, 32766, 0, 0, M}, 12, 8},
      {"inside the bulb at 32767: the counter overflows at the first pixel", {-1.1F, -0.9F, -0.1F, 0.1F, 32767, 0, 0, M}, 12, 8},
      {"cardioid and bulb edges at 50", {-1.5F, 0.5F, -1.0F, 1.0F, 50, 0, 0, M}, 160, 160},
      {"counter overflows mid-picture", {1.0F, -0.25F, 0.5F, -0.5F, 32767, 0, 0, M}, 24, 16},
      {"Julia inside at 32767", {-0.5F, 0.5F, -0.5F, 0.5F, 32767, -0.1F, 0.1F, J}, 9, 5},
      {"boundary detail", {-0.7475F, -0.7435F, 0.1F, 0.104F, 5000, 0, 0, M}, 48, 30},
      {"mirrored both ways", {1.5F, -2.5F, 1.5F, -1.5F, 200, 0, 0, M}, 50, 30},
      // Rows whose y is exactly an earlier row's negative take its counts (Mandelbrot only).
      {"rows mirrored about the real axis", {-2.0F, 0.5F, -1.0F, 1.0F, 200, 0, 0, M}, 64, 64},
      {"nearly mirrored rows", {-2.0F, 0.5F, -1.0F, 1.0000001F, 200, 0, 0, M}, 64, 64},
      {"mirrored rows, bottom up", {-2.0F, 0.5F, 1.0F, -1.0F, 200, 0, 0, M}, 40, 32},
      // Column x = -1/2: z1's Y = (x y + y) + x y is +0 for y and for -y alike.
      {"mirrored rows through x = -1/2, where z1's Y is +0 in both", {-1.0F, 0.0F, -1.0F, 1.0F, 300, 0, 0, M}, 64, 64},
      {"every row on the real axis", {-2.0F, 0.5F, 0.0F, 0.0F, 100, 0, 0, M}, 40, 30},
      {"mirrored rows, the counter overflows at the first inside pixel", {-0.25F, 0.25F, -2.0F, 2.0F, 32767, 0, 0, M}, 8, 32},
      {"mirrored rows, a kernel fault in both halves", {0, 4e10F, -1.0F, 1.0F, 100, 0, 0, M}, 40, 64},
      {"Julia rows about the real axis are not mirrored", {-1.5F, 1.5F, -1.0F, 1.0F, 100, 0.3F, 0.6F, J}, 64, 64},
      {"degenerate column", {-0.75F, -0.75F, -1.0F, 1.0F, 300, 0, 0, M}, 33, 21},
      {"degenerate point", {-0.75F, -0.75F, 0.1F, 0.1F, 300, 0, 0, M}, 33, 21},
      {"odd sizes", DefaultJulia(), 1, 1},
      {"one column", DefaultMandelbrot(), 1, 37},
      {"one row", DefaultMandelbrot(), 37, 1},
      {"fractional size rounds like the reference", DefaultMandelbrot(), 2.5F, 3.5F},
      {"no rows", DefaultMandelbrot(), 10, 0.4F},
      {"no columns", DefaultMandelbrot(), 0.4F, 10},
      // Faults before any pixel, at the first pixel, inside a row, on a later row.
      {"width 0", DefaultMandelbrot(), 0, 20},
      {"height 0", DefaultMandelbrot(), 20, 0},
      {"step overflows", {-3e38F, 3e38F, 0, 1, 10, 0, 0, M}, 1, 1},
      {"infinite X Max", With(DefaultMandelbrot(), &DrawParameters::XMax, kInf), 32, 20},
      {"infinite X Min", With(DefaultMandelbrot(), &DrawParameters::XMin, -kInf), 32, 20},
      {"infinite Y Min", With(DefaultJulia(), &DrawParameters::YMin, kInf), 32, 20},
      {"infinite Y Max", With(DefaultJulia(), &DrawParameters::YMax, kInf), 32, 20},
      {"x overflows mid-row", {3e38F, 3.4e38F, 0, 1, 10, 0, 0, M}, 40, 3},
      {"y overflows on a later row", {0, 1, 3.3e38F, 3.4e38F, 10, 0, 0, M}, 4, 40},
      {"x and y overflow in the same pixel", {3.4e38F, 3.4e38F, 3.4e38F, 3.4e38F, 10, 0, 0, M}, 4, 4},
      {"kernel fault mid-row", {0, 2e10F, 0, 0, 100, 0, 0, M}, 40, 3},
      {"kernel fault on a later row", {0, 0, 0, 4e10F, 100, 0, 0, M}, 3, 40},
      {"kernel fault at the first pixel", {1e20F, 1e21F, 0, 1, 100, 0, 0, M}, 8, 8},
      {"kernel fault with nothing tested", {0, 4e10F, 0, 1, 0, 0, 0, M}, 40, 3},
      {"kernel fault deep in a picture", {-2.0F, 1e10F, -1.0F, 1.0F, 50, 0, 0, M}, 8000, 3},
      {"Julia constant overflows", {-1.0F, 1.0F, -1.0F, 1.0F, 50, 3e38F, 0.0F, J}, 16, 8},
      {"infinite Julia constant", {-1.0F, 1.0F, -1.0F, 1.0F, 50, kInf, 0.0F, J}, 16, 8},
      {"NaN Julia constant", {-1.0F, 1.0F, -1.0F, 1.0F, 50, 0.3F, kNaN, J}, 16, 8},
      {"Julia start squares overflow", {-2e19F, 2e19F, -1.0F, 1.0F, 0, 0.3F, 0.6F, J}, 16, 8},
      {"width 32768: the column counter overflows after row 0", WithLimit(DefaultMandelbrot(), 0), 32768, 3},
      {"width 32769 cannot be counted", DefaultMandelbrot(), 32769, 1},
      {"height 32769 cannot be counted", DefaultMandelbrot(), 1, 32769},
      {"height 32768: the row counter overflows at the end", WithLimit(DefaultJulia(), 0), 1, 32768},
  };
}

class FastPassViews : public ForEachInstructionSet {};

TEST_P(FastPassViews, ChosenViewsMatchTheReference) {
  for (const ViewCase& view : ChosenViews()) {
    SCOPED_TRACE(view.name);
    ExpectSameAsReference(view.params, view.width, view.height);
  }
}

// Views at random places and scales, from wide to deep zooms, with random
// sizes and limits, mirrored and degenerate ranges among them.
TEST_P(FastPassViews, RandomViewsMatchTheReference) {
  std::mt19937 random(7 + static_cast<unsigned>(GetParam() % 1000));
  std::uniform_real_distribution<float> unit(-1.0F, 1.0F);
  const std::vector<std::int16_t> limits{-3, 0, 1, 2, 3, 20, 100, 500, 2000, 32766, 32767};
  for (int trial = 0; trial < 40; ++trial) {
    DrawParameters params;
    params.Kind = trial % 3 == 0 ? J : M;
    // Half of the views sit on the main cardioid's edge, where counts are long and mixed.
    const float t = 3.14159265F * unit(random);
    const bool onEdge = trial % 2 == 0 && params.Kind == M;
    const float cx = onEdge ? 0.5F * std::cos(t) - 0.25F * std::cos(2 * t) : 1.2F * unit(random) - (params.Kind == M ? 0.75F : 0.0F);
    const float cy = onEdge ? 0.5F * std::sin(t) - 0.25F * std::sin(2 * t) : 1.1F * unit(random);
    const float span = std::ldexp(1.0F, -static_cast<int>(random() % 20)) * 3.0F;
    const float aspect = trial % 7 == 0 ? 0.0F : (trial % 5 == 0 ? -1.0F : 1.0F);
    params.XMin = cx - span / 2;
    params.XMax = cx + span / 2;
    params.YMin = cy - aspect * span / 3;
    params.YMax = cy + aspect * span / 3;
    if (trial % 4 == 1) std::swap(params.XMin, params.XMax);
    params.MaxIter = limits[static_cast<std::size_t>(trial) % limits.size()];
    params.P = 0.9F * unit(random);
    params.Q = 0.9F * unit(random);
    const auto width = static_cast<float>(1 + random() % 70);
    const auto height = static_cast<float>(1 + random() % 40);
    ExpectSameAsReference(params, width, height);
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, FastPassViews, testing::ValuesIn(InstructionSets()), InstructionSetName);

// Many rows on every core: bands are computed ahead of the plotting thread,
// and a fault in a late band must still stop after exactly the earlier pixels.
TEST(FastPass, BandsAndThreadsDoNotChangeTheResult) {
  const std::vector<ViewCase> views{
      {"picture over many bands", {-2.0F, 0.5F, -1.25F, 1.25F, 60, 0, 0, M}, 150, 200},
      {"fault on a row far down", {-2.0F, 0.5F, -1.25F, 1e9F, 60, 0, 0, M}, 150, 200},
      {"fault in the last row", {-2.0F, 0.5F, -1.25F, 4.5e9F, 60, 0, 0, M}, 150, 200},
      {"rows mirrored over many bands", {-2.0F, 0.5F, -1.0F, 1.0F, 60, 0, 0, M}, 150, 256},
      {"mirrored rows, the counter overflows far down", {-0.25F, 0.25F, -2.0F, 2.0F, 32767, 0, 0, M}, 30, 64},
      {"mirrored rows of runs longer than 16383", {-0.25F, 0.0F, -0.125F, 0.125F, 20, 0, 0, M}, 17000, 4},
  };
  for (const ViewCase& view : views) {
    SCOPED_TRACE(view.name);
    for (const int threads : {1, 2, 0}) {
      for (const std::size_t band : {std::size_t{1}, std::size_t{449}, std::size_t{30000}, std::size_t{1} << 20}) {
        // Budgets for mirrored rows: none, a row or two (most are counted again), plenty.
        for (const std::size_t mirrorBytes : {std::size_t{0}, std::size_t{600}, std::size_t{4} << 20}) {
          ExpectSameAsReference(view.params, view.width, view.height, FastPassOptions{threads, band, mirrorBytes});
        }
      }
    }
  }
}

// A helper holds item 0 of three while the caller resolves them all, as
// the pass does; whatever the helper does, each item is counted in place
// exactly once, and the caller waits only for a write already under way.
TEST(FastPass, ItemsHeldByHelpersAreCountedOnceAndNeverAwaited) {
  enum class Helper { NeverResumes, FinishesFirst, IsWritingWhenTheCallerArrives };
  struct ClaimCase {
    const char* name;
    Helper helper;
    bool callerCountsItem0;
  };
  for (const ClaimCase& c : std::vector<ClaimCase>{
           {"a stopped helper's item is counted by the caller", Helper::NeverResumes, true},
           {"a finished helper's item is kept", Helper::FinishesFirst, false},
           {"a helper's write under way is waited for", Helper::IsWritingWhenTheCallerArrives, false},
       }) {
    SCOPED_TRACE(c.name);
    ItemClaims claims(3);
    ASSERT_EQ(claims.Claim(), std::optional<std::size_t>{0});  // the helper's
    std::atomic<bool> written = false;
    std::thread writer;
    if (c.helper == Helper::FinishesFirst) {
      ASSERT_TRUE(claims.BeginPublish(0));
      written = true;
      claims.Published(0);
    } else if (c.helper == Helper::IsWritingWhenTheCallerArrives) {
      ASSERT_TRUE(claims.BeginPublish(0));
      writer = std::thread([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        written = true;
        claims.Published(0);
      });
    }
    std::vector<int> countedByCaller(3, 0);
    for (std::size_t item = 0; item < 3; ++item) {
      while (!claims.Settled(item)) {
        if (const std::optional<std::size_t> next = claims.Claim()) {
          claims.Keep(*next);
          ++countedByCaller[*next];
        } else if (claims.TakeOrAwait(item)) {
          ++countedByCaller[item];
        }
      }
    }
    const bool writtenWhenResolved = written.load();
    if (writer.joinable()) writer.join();
    EXPECT_EQ(countedByCaller, (std::vector<int>{c.callerCountsItem0 ? 1 : 0, 1, 1}));
    EXPECT_EQ(writtenWhenResolved, !c.callerCountsItem0);  // moved on only after the helper's write
    EXPECT_FALSE(claims.BeginPublish(0)) << "a late helper must not write";
    EXPECT_FALSE(claims.Claim().has_value());
  }
}

TEST(FastPass, RunnableThreadsAreReadFromTheLoadLine) {
  struct LoadCase {
    const char* name;
    std::string_view line;
    std::optional<int> runnable;
  };
  for (const LoadCase& c : std::vector<LoadCase>{
           {"an idle machine", "0.00 0.01 0.05 1/212 4242\n", 1},
           {"a busy one", "3.97 3.50 2.10 12/1034 99999\n", 12},
           {"cut off after the runnable count", "0.50 0.40 0.30 2", std::nullopt},
           {"no runnable field", "0.50 0.40 0.30", std::nullopt},
           {"not a number", "0.50 0.40 0.30 x/12 1", std::nullopt},
           {"none runnable is not a reading", "0.50 0.40 0.30 0/12 1", std::nullopt},
       }) {
    EXPECT_EQ(RunnableInLoadLine(c.line), c.runnable) << c.name;
  }
}

TEST(FastPass, RowsPairOnlyWithExactNegatives) {
  struct SourceCase {
    const char* name;
    std::vector<float> ys;
    std::vector<int> sources;
  };
  const float justAbove = std::nextafter(0.1F, 1.0F);
  for (const SourceCase& c : std::vector<SourceCase>{
           {"a symmetric column of rows", {-1.0F, -0.5F, 0.0F, 0.5F, 1.0F}, {-1, -1, -1, 1, 0}},
           {"+0 and -0 pair", {0.0F, -0.0F, 0.0F}, {-1, 0, 1}},
           {"the latest of equal rows is the source", {0.5F, 0.5F, -0.5F}, {-1, -1, 1}},
           {"one unit in the last place apart", {-0.1F, justAbove}, {-1, -1}},
           {"NaN pairs with nothing", {kNaN, -kNaN, kNaN}, {-1, -1, -1}},
           {"infinities pair", {-kInf, kInf}, {-1, 0}},
       }) {
    EXPECT_EQ(MirrorRows::Sources(c.ys), c.sources) << c.name;
  }
}

// Drives MirrorRows as the pass does, band by band, with counts that depend
// on |y| only (runs of a length set by the row), and checks that every row
// ends with its own counts and which rows had to be counted.
TEST(FastPass, MirroredRowsAreKeptWithinTheirBudget) {
  struct KeepCase {
    const char* name;
    std::vector<float> ys;
    std::size_t cols, budget;
    int bandRows;
    std::vector<int> counted;
  };
  const std::vector<float> symmetric{-1.0F, -0.5F, 0.0F, 0.5F, 1.0F};
  // A row of 40000 equal counts: two bytes of count, three of length, and the row's overhead.
  const std::size_t oneRow = 5 + MirrorRows::kRowOverhead;
  for (const KeepCase& c : std::vector<KeepCase>{
           {"ample budget, a band per row", symmetric, 40, std::size_t{1} << 20, 1, {0, 1, 2}},
           {"no budget: mirrors are counted again", symmetric, 40, 0, 1, {0, 1, 2, 3, 4}},
           {"room for one row: the one taken soonest", symmetric, 40000, oneRow, 1, {0, 1, 2, 4}},
           {"pairs within a band need no budget", symmetric, 40, 0, 5, {0, 1, 2}},
           {"bands of two rows", symmetric, 40, std::size_t{1} << 20, 2, {0, 1, 2}},
           {"+0 and -0 rows", {0.0F, -0.0F, 0.0F}, 40, std::size_t{1} << 20, 1, {0}},
           {"nearly mirrored rows", {-0.1F, std::nextafter(0.1F, 1.0F)}, 40, std::size_t{1} << 20, 1, {0, 1}},
       }) {
    const auto expected = [&](std::size_t row, std::size_t col) {
      const float y = std::abs(c.ys[row]);
      const std::size_t run = c.cols > 1000 ? c.cols : 1 + static_cast<std::size_t>(y * 8);
      return static_cast<EscapeCount>(1 + (col / run) % 7 + static_cast<int>(y * 100));
    };
    MirrorRows mirror(c.ys, true, c.budget);
    std::vector<int> counted;
    const int rows = static_cast<int>(c.ys.size());
    for (int first = 0; first < rows; first += c.bandRows) {
      const int count = std::min(c.bandRows, rows - first);
      std::vector<EscapeCount> band(static_cast<std::size_t>(count) * c.cols, -1);
      for (int row = first; row < first + count; ++row) {
        if (!mirror.MustCount(row, first)) continue;
        counted.push_back(row);
        for (std::size_t col = 0; col < c.cols; ++col) {
          band[static_cast<std::size_t>(row - first) * c.cols + col] = expected(static_cast<std::size_t>(row), col);
        }
      }
      mirror.CompleteBand(first, count, band, c.cols);
      EXPECT_LE(mirror.KeptBytes(), c.budget) << c.name;
      for (int row = first; row < first + count; ++row) {
        for (std::size_t col = 0; col < c.cols; ++col) {
          ASSERT_EQ(band[static_cast<std::size_t>(row - first) * c.cols + col], expected(static_cast<std::size_t>(row), col))
              << c.name << ": row " << row << ", column " << col;
        }
      }
    }
    EXPECT_EQ(counted, c.counted) << c.name;
  }
}

TEST(FastPass, PicturesAreIdenticalAndUntouchedPixelsKeepTheirColour) {
  const Colour background{1, 2, 3};  // no palette colour
  Picture reference(30, 20, background);
  Picture fast(30, 20, background);
  const DrawParameters faulting{0, 0, -1.0F, 1e20F, 50, 0, 0, M};
  EXPECT_THROW(RenderPass(faulting, reference), RunTimeError);
  EXPECT_THROW(FastRenderPass(faulting, fast), RunTimeError);
  EXPECT_EQ(fast, reference);
  EXPECT_EQ(fast.At(29, 19), background);
  EXPECT_NE(fast.At(0, 0), background);
}

}  // namespace
}  // namespace tobrisk
