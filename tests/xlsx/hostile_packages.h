#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/xlsx/read_budget.h"

// Workbooks made to hurt a reader: small packages that unpack to gigabytes, or to more strings,
// styles or relationships than memory holds, floods of markup, duplicates that readers disagree
// on. The tests write them small and open them with limits scaled down alike; the hostile-set
// benchmark writes them at the sizes of the attacks reported and runs the command line on them.
namespace quillory::xlsx::testing {

// One part of a package: `head`, then each run's `unit` `count` times, then `tail`. A "#" in a
// unit stands for the running number of the run, 1, 2, ... Parts of gigabytes are made as they
// are packed, never held.
struct PartText {
  struct Run {
    std::string unit;
    std::uint64_t count = 0;
  };
  std::string head;
  std::vector<Run> runs;
  std::string tail;
  bool stored = false;  // kept unpacked in the zip (ratio 1), as random bytes would be

  std::uint64_t Size() const;
};

// Writes a package of `parts` (name, content), in order, deflated at the highest level.
void WritePackage(const std::string& path,
                  const std::vector<std::pair<std::string, PartText>>& parts);

// How big the hostile files are made. `bomb` is what one bomb part unpacks to; the others are
// counts of things.
struct HostileSizes {
  std::uint64_t bomb = 0;           // bytes a bomb part unpacks to
  std::uint64_t within_free = 0;    // bytes a part may unpack to before packing is looked at
  std::uint64_t big_part = 0;       // bytes of the part twenty sheets name
  std::uint64_t stored_part = 0;    // bytes of an incompressible part past the one-part limit
  std::uint64_t entries = 0;        // zip entries of the many-entries package
  std::uint64_t items = 0;          // tags of the deeply nested and item-flood parts
  std::uint64_t strings = 0;        // shared strings past the limit
  std::uint64_t styles = 0;         // cell formats past the limit
  std::uint64_t relationships = 0;  // relationships past the limit
  std::uint64_t declarations = 0;   // "<!x>" declarations of the flood
};

// Small sizes, and the limits they are opened with: each file meets the limit it is made for.
HostileSizes TestSizes();
ReadLimits TestLimits();
// The sizes of the attacks reported (hundreds of megabytes to gigabytes unpacked).
HostileSizes ReportedSizes();

struct HostileFile {
  std::string name;      // the file name: the class of attack, with its extension
  std::string expected;  // part of the reason it is refused with; "" when it opens as a workbook
  std::function<void(const std::string& path)> write;
};

std::vector<HostileFile> HostileSet(const HostileSizes& sizes);

}  // namespace quillory::xlsx::testing
