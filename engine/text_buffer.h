#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

namespace quillory {

// Text that grows at its end without clearing the new room first. The append forms of the
// conversions write their words straight into it, so a run over many texts makes no string per
// result and copies each word once; the command line builds its output in one.
class TextBuffer {
 public:
  TextBuffer() : data_(new char[kFirstCapacity]), capacity_(kFirstCapacity) {}

  const char* data() const { return data_.get(); }
  char* data() { return data_.get(); }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  std::string_view view() const { return {data_.get(), size_}; }

  void clear() { size_ = 0; }
  // Keeps the first `size` bytes; `size` is at most size().
  void Truncate(std::size_t size) { size_ = size; }

  void append(std::string_view text) {
    std::memcpy(Room(text.size()), text.data(), text.size());
    size_ += text.size();
  }
  void push_back(char c) {
    *Room(1) = c;
    ++size_;
  }

  // Where at least `count` more bytes may be written; they become part of the text through
  // Commit. A later Room or append may move the text.
  char* Room(std::size_t count) {
    if (capacity_ - size_ < count) [[unlikely]]
      Grow(count);
    return data_.get() + size_;
  }
  // Adds the first `count` bytes written at Room() to the text.
  void Commit(std::size_t count) { size_ += count; }

 private:
  static constexpr std::size_t kFirstCapacity = 256;

  void Grow(std::size_t count);

  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_;
};

}  // namespace quillory
