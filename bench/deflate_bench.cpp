// The compression of a rewritten sheet, compared in the same run: the sheet part of the
// 1,000,000-cell benchmark workbook after conversion (number words in every cell, about 110 MB)
// and a 1 MB part, compressed
//   - as before: zlib, big parts at level 1 in two halves on two threads, small ones at level 6;
//   - by zlib (levels 1 and 6) and by libdeflate on one thread, whole;
//   - as now (DeflateRaw): libdeflate, in 1 MB pieces on 1, 2 and every core, joined.
// Each figure is the median of REPEATS (5) runs; every stream is checked to inflate to the part.
//   deflate_bench [REPEATS]
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "engine/number_words.h"
#include "engine/settings.h"
#include "engine/words.h"
#include "platform/xlsx/deflate.h"

namespace {

using quillory::xlsx::Deflated;

// The sheet part quillory-cli writes for convert_bench_workbook's workbook: a header row and
// `rows` rows of ten numbers in words.
std::string ConvertedSheet(long rows) {
  quillory::MemorySettings store;
  quillory::WordSource source(store);
  const quillory::WordSet& words = source.Words();
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet "
      "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>";
  std::uint64_t state = 88172645463325252ull;  // the workbook maker's numbers
  std::string text, said;
  for (long r = 0; r <= rows; ++r) {
    const std::string row = std::to_string(r + 1);
    xml += "<row r=\"" + row + "\">";
    for (int c = 0; c < 10; ++c) {
      if (r == 0) {
        text = "Column " + std::to_string(c + 1);
      } else {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        double value = static_cast<double>(state % 10000000);
        if (c % 3 == 1) value /= 100;
        if (c % 7 == 6) value = -value;
        char number[32];
        std::snprintf(number, sizeof number, "%.10g", value);
        said.clear();
        quillory::NumberToWords(number, words, said);
        text = said;
      }
      xml += "<c r=\"";
      xml += static_cast<char>('A' + c);
      xml += row + "\" t=\"inlineStr\"><is><t>" + text + "</t></is></c>";
    }
    xml += "</row>";
  }
  return xml + "</sheetData></worksheet>";
}

bool Inflates(const Deflated& deflated, const std::string& data) {
  std::string back;
  return quillory::xlsx::Inflate(deflated, &back) && back == data;
}

// One zlib stream of `data`; `dictionary` is the data before it, `last` ends the stream.
std::string Zlib(std::string_view data, int level, bool last = true,
                 std::string_view dictionary = {}) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  if (!dictionary.empty()) {
    deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(dictionary.data()),
                         static_cast<uInt>(dictionary.size()));
  }
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())) + 64, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH);
  out.resize(out.size() - z.avail_out);
  deflateEnd(&z);
  return out;
}

std::uint32_t Crc(std::string_view data) {
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

// How parts were compressed before: zlib, in two halves on two threads from 4 MB up, the second
// half primed with the end of the first.
Deflated Before(std::string_view data, int level) {
  Deflated result;
  result.size = data.size();
  if (data.size() < (std::size_t{4} << 20)) {
    result.bytes = Zlib(data, level);
    result.crc = Crc(data);
    result.ok = true;
    return result;
  }
  const std::size_t half = data.size() / 2;
  const std::string_view first = data.substr(0, half), second = data.substr(half);
  std::string second_bytes;
  std::uint32_t second_crc = 0;
  std::thread worker([&] {
    second_bytes = Zlib(second, level, true, first.substr(first.size() - 32768));
    second_crc = Crc(second);
  });
  result.bytes = Zlib(first, level, false);
  const std::uint32_t first_crc = Crc(first);
  worker.join();
  result.bytes += second_bytes;
  result.crc = static_cast<std::uint32_t>(
      crc32_combine(first_crc, second_crc, static_cast<z_off_t>(second.size())));
  result.ok = true;
  return result;
}

Deflated Whole(std::string_view data, int level, bool use_zlib) {
  Deflated result;
  result.size = data.size();
  if (use_zlib) {
    result.bytes = Zlib(data, level);
  } else {
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
    result.bytes.resize(libdeflate_deflate_compress_bound(compressor, data.size()));
    result.bytes.resize(libdeflate_deflate_compress(compressor, data.data(), data.size(),
                                                    result.bytes.data(), result.bytes.size()));
    libdeflate_free_compressor(compressor);
  }
  result.crc = Crc(data);
  result.ok = true;
  return result;
}

struct Figure {
  double seconds = 0;
  double low = 0, high = 0;
  std::size_t bytes = 0;
};

Figure Measure(int repeats, const std::string& data, const std::function<Deflated()>& compress) {
  std::vector<double> seconds;
  Figure figure;
  for (int i = 0; i < repeats; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const Deflated deflated = compress();
    seconds.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (!deflated.ok || deflated.crc != Crc(data) || !Inflates(deflated, data)) {
      std::fprintf(stderr, "a stream does not inflate to the part\n");
      std::exit(1);
    }
    figure.bytes = deflated.bytes.size();
  }
  std::sort(seconds.begin(), seconds.end());
  figure.seconds = seconds[seconds.size() / 2];
  figure.low = seconds.front();
  figure.high = seconds.back();
  return figure;
}

void Table(const char* title, const std::string& data, int repeats,
           const std::vector<std::pair<std::string, std::function<Deflated()>>>& ways) {
  std::printf("\n%s: %.1f MB\n", title, static_cast<double>(data.size()) / 1e6);
  std::printf("  %-44s %9s %15s %8s %9s %8s %8s\n", "", "median s", "spread s", "MB/s", "MB out",
              "speed", "size");
  Figure before;
  for (const auto& [name, compress] : ways) {
    const Figure figure = Measure(repeats, data, compress);
    if (before.bytes == 0) before = figure;
    std::printf("  %-44s %9.3f %7.3f-%-7.3f %8.0f %9.2f %7.2fx %7.2fx\n", name.c_str(),
                figure.seconds, figure.low, figure.high,
                static_cast<double>(data.size()) / figure.seconds / 1e6,
                static_cast<double>(figure.bytes) / 1e6, before.seconds / figure.seconds,
                static_cast<double>(figure.bytes) / static_cast<double>(before.bytes));
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  std::FILE* load = std::fopen("/proc/loadavg", "r");
  char average[64] = "?";
  if (load) {
    if (!std::fgets(average, sizeof average, load)) average[0] = '\0';
    std::fclose(load);
  }
  std::printf("load average: %.14s; %u cores; speed and size against the first line\n", average,
              cores);
  const std::string big = ConvertedSheet(99999);
  using quillory::xlsx::DeflateRaw;
  Table("The converted sheet of 1,000,000 cells (parts over 8 MB: level 1)", big, repeats,
        {{"before: zlib 1, two halves on two threads", [&] { return Before(big, 1); }},
         {"zlib 1, one thread", [&] { return Whole(big, 1, true); }},
         {"zlib 6, one thread", [&] { return Whole(big, 6, true); }},
         {"libdeflate 1, one thread", [&] { return Whole(big, 1, false); }},
         {"now: libdeflate 1, pieces on 1 thread", [&] { return DeflateRaw(big, 1, 1); }},
         {"now: libdeflate 1, pieces on 2 threads", [&] { return DeflateRaw(big, 1, 2); }},
         {"now: libdeflate 1, pieces on every core (" + std::to_string(cores) + ")",
          [&] { return DeflateRaw(big, 1, 0); }},
         {"libdeflate 2, pieces on every core", [&] { return DeflateRaw(big, 2, 0); }}});
  const std::string small = big.substr(0, std::size_t{1} << 20);
  Table("A 1 MB part (parts up to 8 MB: level 6)", small, repeats,
        {{"before: zlib 6", [&] { return Before(small, 6); }},
         {"libdeflate 6, one thread", [&] { return Whole(small, 6, false); }},
         {"now: libdeflate 6 (one piece)", [&] { return DeflateRaw(small, 6, 0); }},
         {"libdeflate 7, one thread", [&] { return Whole(small, 7, false); }}});
  return 0;
}
