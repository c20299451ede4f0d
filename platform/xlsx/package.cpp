#include "platform/xlsx/package.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <stdexcept>
#include <unordered_map>

#include "engine/ascii.h"
#include "platform/xlsx/deflate.h"
#include "workbook/file_names.h"
#include "workbook/file_replace.h"
#include "workbook/regular_file.h"
#include "workbook/spreadsheet.h"

namespace quillory::xlsx {

// The file behind a package opened from disk. It is read through the descriptor it was opened
// with, so another program replacing the path meanwhile changes nothing read; a save goes to a
// workbook::FileReplacement, which puts the new file in place only while the path still names the
// file that was opened. Owned by the Package: libzip's sources over it never free it.
struct FileSource {
  int fd = -1;
  std::int64_t offset = 0;
  std::string target;  // the file itself, links resolved
  std::string name;    // as the user named it
  workbook::FileIdentity opened;
  std::unique_ptr<workbook::FileReplacement> replacement;
  std::optional<workbook::WorkbookError> failure;  // why the last save failed, when it was ours
  zip_error_t error;

  FileSource() { zip_error_init(&error); }
  ~FileSource() {
    if (fd >= 0) ::close(fd);
    zip_error_fini(&error);
  }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;
};

namespace {

using workbook::WorkbookError;

constexpr unsigned char kOleSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

bool Contains(std::string_view haystack, std::string_view needle) {
  return haystack.find(needle) != std::string_view::npos;
}

// An OLE compound file is either a legacy binary workbook or an encrypted (password-protected)
// xlsx, whose package sits in an "EncryptionInfo"/"EncryptedPackage" pair of streams.
[[noreturn]] void RejectOleContainer(std::string_view bytes, const std::string& name,
                                     const std::string& extension) {
  static const char kEncryptionInfo[] = "E\0n\0c\0r\0y\0p\0t\0i\0o\0n\0I\0n\0f\0o\0";
  const std::string_view marker(kEncryptionInfo, sizeof kEncryptionInfo - 1);
  if (extension != ".xls" && extension != ".xlt" && Contains(bytes, marker)) {
    throw WorkbookError(name,
                        "the workbook is password-protected (encrypted); remove the password in "
                        "the spreadsheet application and try again");
  }
  throw WorkbookError(name,
                      "this is a legacy binary workbook (.xls/.xlt); legacy .xls workbooks are "
                      "converted through LibreOffice, so choose the LibreOffice backend for it");
}

// Running out of memory is no fault of the file: it is reported as such, never as damage.
bool OutOfMemory(const zip_error_t* error) {
  const int code = zip_error_code_zip(error);
  return code == ZIP_ER_MEMORY ||
         (code == ZIP_ER_ZLIB && zip_error_code_system(error) == Z_MEM_ERROR);
}

[[noreturn]] void RejectZipError(int code, std::string_view head, const std::string& name) {
  if (code == ZIP_ER_MEMORY) throw std::bad_alloc();
  if (code == ZIP_ER_NOZIP && !head.starts_with("PK")) {
    throw WorkbookError(name, "not a workbook: the file is not an xlsx package (zip)");
  }
  if (code == ZIP_ER_NOZIP || code == ZIP_ER_INCONS || code == ZIP_ER_CRC || code == ZIP_ER_EOF ||
      code == ZIP_ER_COMPNOTSUPP) {
    throw WorkbookError(name,
                        "the file is damaged or truncated (its zip directory cannot be read); "
                        "restore it from a backup copy");
  }
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  std::string reason = "cannot open the workbook: ";
  reason += zip_error_strerror(&error);
  zip_error_fini(&error);
  throw WorkbookError(name, reason);
}

// Rejects what is no xlsx package before libzip sees it, with a message the user can act on.
void CheckHead(std::string_view bytes, const std::string& name, const std::string& extension) {
  if (bytes.empty()) throw WorkbookError(name, "the file is empty (0 bytes); nothing to open");
  if (bytes.size() >= 8 && std::memcmp(bytes.data(), kOleSignature, 8) == 0) {
    RejectOleContainer(bytes, name, extension);
  }
  if (extension == ".xls" || extension == ".xlt") {
    throw WorkbookError(name,
                        "legacy .xls workbooks are converted through LibreOffice; the embedded "
                        "engine reads only .xlsx, .xlsm, .xltx and .xltm");
  }
}

// A zip entry's data already deflated, handed to libzip, which stores it as it is. The data
// stays with the package, staged, until libzip is done with it.
struct Precompressed {
  const Deflated* deflated = nullptr;
  zip_uint64_t offset = 0;
  zip_error_t error;
};

zip_int64_t PrecompressedSource(void* state, void* data, zip_uint64_t length,
                                zip_source_cmd_t command) {
  auto* source = static_cast<Precompressed*>(state);
  const Deflated& deflated = *source->deflated;
  switch (command) {
    case ZIP_SOURCE_OPEN:
      source->offset = 0;
      return 0;
    case ZIP_SOURCE_READ: {
      const zip_uint64_t left = deflated.bytes.size() - source->offset;
      const zip_uint64_t count = std::min(left, length);
      std::memcpy(data, deflated.bytes.data() + source->offset, count);
      source->offset += count;
      return static_cast<zip_int64_t>(count);
    }
    case ZIP_SOURCE_CLOSE:
      return 0;
    case ZIP_SOURCE_STAT: {
      auto* stat = static_cast<zip_stat_t*>(data);
      zip_stat_init(stat);
      stat->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC |
                    ZIP_STAT_ENCRYPTION_METHOD;
      stat->size = deflated.size;
      stat->comp_size = deflated.bytes.size();
      stat->comp_method = ZIP_CM_DEFLATE;
      stat->crc = deflated.crc;
      stat->encryption_method = ZIP_EM_NONE;
      return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
      return zip_error_to_data(&source->error, data, length);
    case ZIP_SOURCE_FREE:
      zip_error_fini(&source->error);
      delete source;
      return 0;
    case ZIP_SOURCE_SUPPORTS:
      return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                            ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
      zip_error_set(&source->error, ZIP_ER_OPNOTSUPP, 0);
      return -1;
  }
}

// The source for a rewritten part: its deflated stream, made here unless it came made. Should
// compressing fail, libzip compresses the text itself. Nothing when memory runs out.
zip_source_t* SourceFor(zip_t* archive, StagedPart& staged) {
  if (!staged.deflated.ok) {
    staged.deflated = DeflateRaw(staged.content, DeflateLevel(staged.content.size()));
    if (!staged.deflated.ok) {
      return zip_source_buffer(archive, staged.content.data(), staged.content.size(), 0);
    }
  }
  auto state = std::make_unique<Precompressed>();
  state->deflated = &staged.deflated;
  zip_error_init(&state->error);
  zip_source_t* source = zip_source_function(archive, PrecompressedSource, state.get());
  if (!source) {
    zip_error_fini(&state->error);
    return nullptr;
  }
  state.release();
  return source;
}

zip_int64_t Failed(FileSource& source, int code, int system_error) {
  zip_error_set(&source.error, code, system_error);
  return -1;
}

zip_int64_t FileSourceCall(FileSource& source, void* data, zip_uint64_t length,
                           zip_source_cmd_t command) {
  switch (command) {
    case ZIP_SOURCE_OPEN:
      source.offset = 0;
      return 0;
    case ZIP_SOURCE_READ: {
      for (;;) {
        const ssize_t got = ::pread(source.fd, data, length, source.offset);
        if (got >= 0) {
          source.offset += got;
          return got;
        }
        if (errno != EINTR) return Failed(source, ZIP_ER_READ, errno);
      }
    }
    case ZIP_SOURCE_CLOSE:
      return 0;
    case ZIP_SOURCE_STAT: {
      auto* stat = static_cast<zip_stat_t*>(data);
      zip_stat_init(stat);
      stat->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
      stat->size = static_cast<zip_uint64_t>(source.opened.size);
      stat->mtime = static_cast<time_t>(source.opened.modified_seconds);
      return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_SEEK: {
      const zip_int64_t offset = zip_source_seek_compute_offset(
          static_cast<zip_uint64_t>(source.offset), static_cast<zip_uint64_t>(source.opened.size),
          data, length, &source.error);
      if (offset < 0) return -1;
      source.offset = offset;
      return 0;
    }
    case ZIP_SOURCE_TELL:
      return source.offset;
    case ZIP_SOURCE_BEGIN_WRITE:
      source.failure.reset();
      try {
        source.replacement =
            std::make_unique<workbook::FileReplacement>(source.target, source.opened, source.name);
      } catch (const workbook::WorkbookError& error) {
        source.failure = error;
        return Failed(source, ZIP_ER_TMPOPEN, 0);
      }
      return 0;
    case ZIP_SOURCE_WRITE: {
      const char* bytes = static_cast<const char*>(data);
      for (zip_uint64_t done = 0; done < length;) {
        const ssize_t put = ::write(source.replacement->fd(), bytes + done, length - done);
        if (put < 0) {
          if (errno == EINTR) continue;
          return Failed(source, ZIP_ER_WRITE, errno);
        }
        done += static_cast<zip_uint64_t>(put);
      }
      return static_cast<zip_int64_t>(length);
    }
    case ZIP_SOURCE_SEEK_WRITE: {
      auto* args = ZIP_SOURCE_GET_ARGS(zip_source_args_seek_t, data, length, &source.error);
      if (args == nullptr) return -1;
      if (::lseek(source.replacement->fd(), args->offset, args->whence) < 0) {
        return Failed(source, ZIP_ER_SEEK, errno);
      }
      return 0;
    }
    case ZIP_SOURCE_TELL_WRITE: {
      const off_t offset = ::lseek(source.replacement->fd(), 0, SEEK_CUR);
      return offset < 0 ? Failed(source, ZIP_ER_TELL, errno) : offset;
    }
    case ZIP_SOURCE_COMMIT_WRITE:
      // The new file is complete; the package puts it in place (Package::Commit).
      return 0;
    case ZIP_SOURCE_ROLLBACK_WRITE:
      source.replacement.reset();
      return 0;
    case ZIP_SOURCE_ACCEPT_EMPTY:
      return 0;
    case ZIP_SOURCE_ERROR:
      return zip_error_to_data(&source.error, data, length);
    case ZIP_SOURCE_FREE:
      return 0;
    case ZIP_SOURCE_SUPPORTS:
      return zip_source_make_command_bitmap(
          ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR,
          ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL, ZIP_SOURCE_SUPPORTS,
          ZIP_SOURCE_BEGIN_WRITE, ZIP_SOURCE_COMMIT_WRITE, ZIP_SOURCE_ROLLBACK_WRITE,
          ZIP_SOURCE_WRITE, ZIP_SOURCE_SEEK_WRITE, ZIP_SOURCE_TELL_WRITE, ZIP_SOURCE_REMOVE,
          ZIP_SOURCE_ACCEPT_EMPTY, -1);
    case ZIP_SOURCE_REMOVE:  // an archive emptied by a save; never one of ours
    default:
      return Failed(source, ZIP_ER_OPNOTSUPP, 0);
  }
}

// No exception crosses libzip.
zip_int64_t FileSourceCallback(void* state, void* data, zip_uint64_t length,
                               zip_source_cmd_t command) {
  auto& source = *static_cast<FileSource*>(state);
  try {
    return FileSourceCall(source, data, length, command);
  } catch (const std::bad_alloc&) {
    return Failed(source, ZIP_ER_MEMORY, 0);
  } catch (...) {
    return Failed(source, ZIP_ER_INTERNAL, 0);
  }
}

// Opens the package on `source`; nothing when libzip cannot, with its error code in `code`.
zip_t* OpenArchive(FileSource& source, int& code) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* zip_source = zip_source_function_create(FileSourceCallback, &source, &error);
  zip_t* archive = zip_source ? zip_open_from_source(zip_source, 0, &error) : nullptr;
  if (!archive) {
    code = zip_error_code_zip(&error);
    if (zip_source) zip_source_free(zip_source);
  }
  zip_error_fini(&error);
  return archive;
}

// Up to `size` bytes from the start of the file.
std::string ReadHead(int fd, std::size_t size) {
  std::string head(size, '\0');
  std::size_t filled = 0;
  while (filled < size) {
    const ssize_t got =
        ::pread(fd, head.data() + filled, size - filled, static_cast<off_t>(filled));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    filled += static_cast<std::size_t>(got);
  }
  head.resize(filled);
  return head;
}

}  // namespace

Package::Package(zip_t* archive, std::string name, std::string path, std::string bytes,
                 const ReadLimits& limits, std::uint64_t size, std::unique_ptr<FileSource> file)
    : archive_(archive),
      name_(std::move(name)),
      path_(std::move(path)),
      memory_(std::move(bytes)),
      file_(std::move(file)),
      budget_(limits, size) {}

Package::~Package() {
  if (archive_) zip_discard(archive_);
}

std::unique_ptr<Package> Package::OpenFile(const std::string& path, const ReadLimits& limits) {
  // A named pipe or a device would block the reads below, or never end.
  if (const std::string why = workbook::WhyNotARegularFile(path); !why.empty()) {
    throw WorkbookError(path, why);
  }
  // A save replaces the file itself: through a symbolic link, that is the file it points to.
  std::string target = path;
  if (char* resolved = ::realpath(path.c_str(), nullptr)) {
    target = resolved;
    std::free(resolved);
  }
  auto file = std::make_unique<FileSource>();
  file->target = target;
  file->name = path;
  // Without waiting on a pipe or device put in the file's place.
  file->fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (file->fd < 0) {
    if (errno == EACCES || errno == EPERM) {
      throw WorkbookError(path, "cannot read the file (no permission to read it?)");
    }
    throw WorkbookError(path, std::string("cannot open the file: ") + std::strerror(errno));
  }
  const auto identity = workbook::IdentifyOpenFile(file->fd);
  if (!identity || !S_ISREG(identity->mode)) {
    throw WorkbookError(path, "this is not a regular file, so it cannot be a workbook");
  }
  file->opened = *identity;
  // The whole file when it is an OLE container, so an encryption marker can be found.
  std::string head = ReadHead(file->fd, 8);
  if (head.size() == 8 && std::memcmp(head.data(), kOleSignature, 8) == 0) {
    head = ReadHead(file->fd,
                    static_cast<std::size_t>(std::min<std::int64_t>(identity->size, 64 << 20)));
  }
  CheckHead(head, path, workbook::LowerExtension(path));
  int code = 0;
  zip_t* archive = OpenArchive(*file, code);
  if (!archive) RejectZipError(code, head, path);
  auto package = std::unique_ptr<Package>(new Package(archive, path, target, {}, limits,
                                                      static_cast<std::uint64_t>(identity->size),
                                                      std::move(file)));
  package->CheckEntries();
  return package;
}

std::unique_ptr<Package> Package::OpenMemory(std::string bytes, const std::string& name,
                                             const ReadLimits& limits) {
  CheckHead(bytes, name, workbook::LowerExtension(name));
  const std::uint64_t size = bytes.size();
  auto package = std::unique_ptr<Package>(
      new Package(nullptr, name, {}, std::move(bytes), limits, size, nullptr));
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source =
      zip_source_buffer_create(package->memory_.data(), package->memory_.size(), 0, &error);
  zip_t* archive = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
  if (!archive) {
    const int code = zip_error_code_zip(&error);
    if (source) zip_source_free(source);
    zip_error_fini(&error);
    RejectZipError(code, package->memory_, name);
  }
  zip_error_fini(&error);
  package->archive_ = archive;
  package->CheckEntries();
  return package;
}

// libzip reads every entry but finds only the first of two with one name, where other
// programs take the last: which content is the workbook would depend on the reader. Names are
// matched without regard to case, as part names are.
void Package::CheckEntries() const {
  const zip_int64_t count = zip_get_num_entries(archive_, 0);
  if (count < 0) return;
  if (static_cast<std::uint64_t>(count) > limits().parts) {
    RefuseTooLarge(name_, "its package holds " + CountText(static_cast<std::uint64_t>(count)) +
                              " parts, more than " + CountText(limits().parts));
  }
  std::unordered_map<std::string, zip_int64_t> seen;
  seen.reserve(static_cast<std::size_t>(count));
  for (zip_int64_t i = 0; i < count; ++i) {
    const char* entry = zip_get_name(archive_, static_cast<zip_uint64_t>(i), 0);
    if (!entry) continue;
    const auto [first, added] = seen.emplace(ascii::ToLower(entry), i);
    if (added) continue;
    const char* other = zip_get_name(archive_, static_cast<zip_uint64_t>(first->second), 0);
    std::string twice = "/" + std::string(other ? other : entry) + " twice";
    if (other && std::strcmp(other, entry) != 0) {
      twice += ", as /" + std::string(other) + " and /" + entry +
               " (names differing only in letter case name the same part)";
    }
    throw WorkbookError(name_, "the file is damaged: its package holds the part " + twice +
                                   ", and programs disagree on which one counts");
  }
}

long long Package::Locate(std::string_view part) const {
  const std::string name(part);
  zip_t* archive = Archive();
  zip_int64_t index = zip_name_locate(archive, name.c_str(), 0);
  if (index < 0) index = zip_name_locate(archive, name.c_str(), ZIP_FL_NOCASE);
  return index;
}

bool Package::Has(std::string_view part) const {
  if (std::find(removed_.begin(), removed_.end(), part) != removed_.end()) return false;
  return replaced_.count(std::string(part)) > 0 || Locate(part) >= 0;
}

std::string Package::Read(std::string_view part) const {
  if (const auto staged = replaced_.find(std::string(part)); staged != replaced_.end()) {
    if (!staged->second.content.empty() || !staged->second.deflated.ok) {
      return staged->second.content;
    }
    std::string content;
    if (!Inflate(staged->second.deflated, &content)) {
      throw WorkbookError(name_, "the new content of /" + std::string(part) + " is damaged");
    }
    return content;
  }
  const long long index = Locate(part);
  if (index < 0) {
    throw WorkbookError(
        name_, "the workbook is incomplete: its part /" + std::string(part) + " is missing");
  }
  zip_stat_t stat;
  zip_stat_init(&stat);
  zip_t* archive = Archive();
  const bool stated = zip_stat_index(archive, static_cast<zip_uint64_t>(index), 0, &stat) == 0;
  const std::uint64_t packed = stated && (stat.valid & ZIP_STAT_COMP_SIZE) ? stat.comp_size : 0;
  const std::uint64_t allowed = budget_.Allowance(packed);
  std::size_t expected = 1 << 16;
  if (stated && (stat.valid & ZIP_STAT_SIZE)) {
    if (stat.size > allowed) budget_.Refuse(name_, part, packed);
    // Declared sizes may lie; trust them only up to a sane amount.
    expected = static_cast<std::size_t>(std::min<zip_uint64_t>(stat.size, 256u << 20)) + 1;
  }
  zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(index), 0);
  if (!file) {
    const zip_error_t* error = zip_get_error(archive);
    const int code = zip_error_code_zip(error);
    if (OutOfMemory(error)) throw std::bad_alloc();
    if (code == ZIP_ER_NOPASSWD || code == ZIP_ER_WRONGPASSWD || code == ZIP_ER_ENCRNOTSUPP) {
      throw WorkbookError(name_,
                          "the workbook is password-protected (encrypted); remove the "
                          "password in the spreadsheet application and try again");
    }
    throw WorkbookError(name_, "the part /" + std::string(part) + " cannot be read (" +
                                   zip_strerror(archive) + "); the file is damaged");
  }
  const std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> closer(file, &zip_fclose);
  // Read straight into the result, growing it if the declared size was short, but never past
  // what the budget allows: one byte more is enough to know the part is too large.
  const std::size_t most = static_cast<std::size_t>(std::min<std::uint64_t>(allowed, SIZE_MAX - 1));
  std::string content(std::min(expected, most + 1), '\0');
  std::size_t filled = 0;
  for (;;) {
    if (filled == content.size()) {
      if (filled > most) budget_.Refuse(name_, part, packed);
      content.resize(std::min(content.size() * 2, most + 1));
    }
    const zip_int64_t got = zip_fread(file, content.data() + filled, content.size() - filled);
    if (got < 0) {
      if (OutOfMemory(zip_file_get_error(file))) throw std::bad_alloc();
      throw WorkbookError(name_, "the part /" + std::string(part) + " is damaged (" +
                                     zip_file_strerror(file) +
                                     "); restore the file from a backup copy");
    }
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  if (filled > most) budget_.Refuse(name_, part, packed);
  content.resize(filled);
  budget_.Spend(packed, filled);
  return content;
}

void Package::DropWritten() {
  if (file_) file_->replacement.reset();
}

void Package::Replace(const std::string& part, std::string content) {
  DropWritten();
  removed_.erase(std::remove(removed_.begin(), removed_.end(), part), removed_.end());
  replaced_[part] = StagedPart{std::move(content), {}};
}

void Package::ReplaceDeflated(const std::string& part, Deflated content) {
  if (!content.ok) throw std::invalid_argument("no deflated content for /" + part);
  DropWritten();
  removed_.erase(std::remove(removed_.begin(), removed_.end(), part), removed_.end());
  replaced_[part] = StagedPart{{}, std::move(content)};
}

void Package::Remove(const std::string& part) {
  DropWritten();
  replaced_.erase(part);
  if (std::find(removed_.begin(), removed_.end(), part) == removed_.end()) {
    removed_.push_back(part);
  }
}

void Package::Write() {
  if (path_.empty()) throw WorkbookError(name_, "a workbook held in memory cannot be saved");
  if (!HasChanges() || file_->replacement) return;
  struct stat info {};
  if (::stat(path_.c_str(), &info) != 0) {
    throw WorkbookError(name_, std::string("cannot save: ") + std::strerror(errno));
  }
  if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path_.c_str(), W_OK) != 0) {
    throw WorkbookError(name_,
                        "cannot save: the file is read-only; clear its read-only "
                        "attribute or copy it somewhere writable");
  }
  const std::string folder = workbook::FolderOf(path_);
  struct stat folder_info {};
  if (::stat(folder.c_str(), &folder_info) != 0 ||
      (folder_info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
      ::access(folder.c_str(), W_OK | X_OK) != 0) {
    throw WorkbookError(name_, "cannot save: the folder " + folder +
                                   " is read-only (the new file is written beside the old one)");
  }

  Archive();
  auto fail = [&](const std::string& what) {
    const std::string reason = what + ": " + zip_strerror(archive_);
    zip_unchange_all(archive_);
    throw WorkbookError(name_, "cannot save: " + reason + "; the file was left as it was");
  };
  for (auto& [part, staged] : replaced_) {
    zip_source_t* source = SourceFor(archive_, staged);
    if (!source) fail("out of memory");
    // Replaced as a new entry under the stored name: a replaced entry would keep its old
    // compression level, and a big sheet written at the highest level is slow.
    std::string name = part;
    if (const zip_int64_t old = Locate(part); old >= 0) {
      if (const char* stored =
              zip_get_name(archive_, static_cast<zip_uint64_t>(old), ZIP_FL_ENC_RAW)) {
        name = stored;
      }
      if (zip_delete(archive_, static_cast<zip_uint64_t>(old)) != 0) {
        zip_source_free(source);
        fail("cannot replace /" + part);
      }
    }
    const zip_int64_t index = zip_file_add(archive_, name.c_str(), source, 0);
    if (index < 0) {
      zip_source_free(source);
      fail("cannot write /" + part);
    }
    // Deflated as the stream made above says; libzip compresses at this level itself only when
    // that failed.
    const auto level = static_cast<zip_uint32_t>(DeflateLevel(staged.content.size()));
    zip_set_file_compression(archive_, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, level);
  }
  for (const auto& part : removed_) {
    const zip_int64_t index = Locate(part);
    if (index >= 0 && zip_delete(archive_, static_cast<zip_uint64_t>(index)) != 0) {
      fail("cannot remove /" + part);
    }
  }
  if (zip_close(archive_) != 0) {
    file_->replacement.reset();
    if (file_->failure) {
      const WorkbookError failure = *file_->failure;
      file_->failure.reset();
      zip_unchange_all(archive_);
      throw SaveFailure(failure);
    }
    fail("writing the new file failed");
  }
  // The archive is closed; it is opened anew when it is read again (the original until the new
  // file is in place). The new file is synced while the caller goes on.
  archive_ = nullptr;
  try {
    file_->replacement->SyncMeanwhile();
  } catch (const WorkbookError& failure) {
    file_->replacement.reset();
    throw SaveFailure(failure);
  }
}

void Package::Commit() {
  if (path_.empty()) throw WorkbookError(name_, "a workbook held in memory cannot be saved");
  if (!HasChanges()) return;
  Write();
  const std::unique_ptr<workbook::FileReplacement> replacement = std::move(file_->replacement);
  // In place, but its folder not synced: the package goes on from the new file all the same.
  std::optional<workbook::FolderNotSynced> unsynced;
  try {
    replacement->Commit();
  } catch (const workbook::FolderNotSynced& failure) {
    unsynced = failure;
  } catch (const WorkbookError& failure) {
    throw SaveFailure(failure);
  }
  // From now on the package reads the file it wrote.
  const int fd = replacement->ReleaseDescriptor();
  ::close(file_->fd);
  file_->fd = fd;
  file_->offset = 0;
  const auto identity = workbook::IdentifyOpenFile(fd);
  if (identity) file_->opened = *identity;
  // The parts read before were of the old file and are read again when needed.
  budget_.Reset(identity ? static_cast<std::uint64_t>(identity->size) : 0);
  replaced_.clear();
  removed_.clear();
  if (unsynced) throw *unsynced;
}

WorkbookError Package::SaveFailure(const WorkbookError& failure) const {
  std::string reason = failure.reason();
  if (reason.find("nothing was written") == std::string::npos &&
      reason.find("left unchanged") == std::string::npos) {
    reason += "; the file was left as it was";
  }
  return WorkbookError(name_, reason);
}

zip_t* Package::Archive() const {
  if (archive_) return archive_;
  // After a save, from the file just written, through its own descriptor: the path is not looked
  // at again. Only when it is needed: a workbook is mostly closed once saved.
  int code = 0;
  archive_ = OpenArchive(*file_, code);
  if (!archive_) RejectZipError(code, "PK", name_);
  return archive_;
}

}  // namespace quillory::xlsx
