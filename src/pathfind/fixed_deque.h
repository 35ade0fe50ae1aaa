// A double-ended queue of fixed capacity in one ring buffer, with insertion
// and removal at any position. The path finder keeps its sorted open list
// in one.
//
// Nothing here grows: pushing or inserting into a full deque, or at a
// position beyond its size, fails and changes nothing; popping or removing
// from where there is no element fails the same way. An insertion or a
// removal moves the elements on the shorter side of the position by one, so
// work near either end is cheap.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>

namespace quarvel {

template <class T>
class FixedDeque {
  static_assert(std::is_trivially_copyable_v<T>, "elements are moved with memmove");

 public:
  FixedDeque() = default;
  FixedDeque(const FixedDeque&) = delete;
  FixedDeque& operator=(const FixedDeque&) = delete;

  // Gives the deque room for capacity elements (negative counts as 0) and
  // empties it. False, with capacity 0, when the storage cannot be had.
  bool set_capacity(int32_t capacity) {
    buffer_.reset();
    capacity_ = 0;
    clear();
    if (capacity <= 0) return true;
    buffer_.reset(new (std::nothrow) T[static_cast<size_t>(capacity)]);
    if (!buffer_) return false;
    capacity_ = capacity;
    return true;
  }

  int32_t capacity() const { return capacity_; }
  int32_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  bool full() const { return size_ == capacity_; }
  void clear() {
    head_ = 0;
    size_ = 0;
  }

  // Element i counted from the front; i must be below size().
  T& at(int32_t i) { return buffer_[physical(i)]; }
  const T& at(int32_t i) const { return buffer_[physical(i)]; }
  T& front() { return at(0); }
  T& back() { return at(size_ - 1); }
  const T& front() const { return at(0); }
  const T& back() const { return at(size_ - 1); }

  bool push_back(const T& value) { return insert(size_, value); }
  bool push_front(const T& value) { return insert(0, value); }
  bool pop_back() { return remove(size_ - 1); }
  bool pop_front() { return remove(0); }

  // Puts value at position pos (0 .. size()); the element there and those
  // behind it move one place towards the back.
  bool insert(int32_t pos, const T& value) {
    if (pos < 0 || pos > size_ || size_ == capacity_) return false;
    if (pos < size_ - pos) {
      head_ = head_ == 0 ? capacity_ - 1 : head_ - 1;
      ++size_;
      shift(0, 1, pos);
    } else {
      ++size_;
      shift(pos + 1, pos, size_ - 1 - pos);
    }
    at(pos) = value;
    return true;
  }

  // Takes out the element at position pos (0 .. size() - 1).
  bool remove(int32_t pos) {
    if (pos < 0 || pos >= size_) return false;
    if (pos < size_ - 1 - pos) {
      shift(1, 0, pos);
      head_ = head_ + 1 == capacity_ ? 0 : head_ + 1;
    } else {
      shift(pos, pos + 1, size_ - 1 - pos);
    }
    --size_;
    return true;
  }

 private:
  int32_t physical(int32_t i) const {
    const int32_t p = head_ + i;
    return p >= capacity_ ? p - capacity_ : p;
  }

  // Moves count elements from position src to position dst (positions
  // counted from the front, both ranges inside the ring), in pieces that
  // do not cross the end of the buffer.
  void shift(int32_t dst, int32_t src, int32_t count) {
    if (dst > src) {
      int32_t src_end = src + count;
      int32_t dst_end = dst + count;
      while (count > 0) {
        const int32_t ps = physical(src_end - 1) + 1;
        const int32_t pd = physical(dst_end - 1) + 1;
        const int32_t n = std::min({count, ps, pd});
        std::memmove(&buffer_[pd - n], &buffer_[ps - n], static_cast<size_t>(n) * sizeof(T));
        src_end -= n;
        dst_end -= n;
        count -= n;
      }
    } else {
      while (count > 0) {
        const int32_t ps = physical(src);
        const int32_t pd = physical(dst);
        const int32_t n = std::min({count, capacity_ - ps, capacity_ - pd});
        std::memmove(&buffer_[pd], &buffer_[ps], static_cast<size_t>(n) * sizeof(T));
        src += n;
        dst += n;
        count -= n;
      }
    }
  }

  std::unique_ptr<T[]> buffer_;
  int32_t capacity_ = 0;
  int32_t head_ = 0;  // physical index of the front element
  int32_t size_ = 0;
};

}  // namespace quarvel
