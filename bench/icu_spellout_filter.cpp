// The baseline of words_filter_bench.sh: each line of standard input spelled out by ICU's
// rule-based number format (en-US spellout), one line each on standard output. The I/O is the
// same as quillory-cli's: standard input in blocks of up to a megabyte, the output written at the
// end of each block and whenever 256 KB of it are waiting.
#include <unicode/locid.h>
#include <unicode/rbnf.h>
#include <unicode/unistr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool WriteAll(const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = ::write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

}  // namespace

int main() {
  UErrorCode status = U_ZERO_ERROR;
  icu::RuleBasedNumberFormat format(icu::URBNF_SPELLOUT, icu::Locale::getUS(), status);
  if (U_FAILURE(status)) {
    std::fprintf(stderr, "icu_spellout_filter: ICU spellout is not available\n");
    return 1;
  }
  std::vector<char> block(1 << 20);
  std::string unfinished, out, utf8;
  icu::UnicodeString words;
  auto spell = [&](std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::string text(line);
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str()) {
      out.append(text).push_back('\n');
      return;
    }
    words.remove();
    format.format(value, words);
    utf8.clear();
    words.toUTF8String(utf8);
    out.append(utf8).push_back('\n');
  };
  for (;;) {
    const ssize_t got = ::read(STDIN_FILENO, block.data(), block.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    std::string_view rest(block.data(), static_cast<std::size_t>(got));
    for (auto end = rest.find('\n'); end != std::string_view::npos; end = rest.find('\n')) {
      if (unfinished.empty()) {
        spell(rest.substr(0, end));
      } else {
        unfinished.append(rest.substr(0, end));
        spell(unfinished);
        unfinished.clear();
      }
      rest.remove_prefix(end + 1);
      if (out.size() >= 256 * 1024) {
        if (!WriteAll(out)) return 1;
        out.clear();
      }
    }
    unfinished.append(rest);
    if (!WriteAll(out)) return 1;
    out.clear();
  }
  if (!unfinished.empty()) spell(unfinished);
  return WriteAll(out) ? 0 : 1;
}
