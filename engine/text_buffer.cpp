#include "engine/text_buffer.h"

#include <algorithm>
#include <utility>

namespace quillory {

void TextBuffer::Grow(std::size_t count) {
  // Doubling keeps the copies of a long run linear in its length.
  const std::size_t capacity = std::max(capacity_ * 2, size_ + count);
  std::unique_ptr<char[]> grown(new char[capacity]);
  std::memcpy(grown.get(), data_.get(), size_);
  data_ = std::move(grown);
  capacity_ = capacity;
}

}  // namespace quillory
