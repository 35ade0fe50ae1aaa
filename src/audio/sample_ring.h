// A ring of 16-bit samples between one producer thread and one consumer
// thread (video sound: the main thread decodes, the sound thread plays).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quarvel {

class SampleRing {
 public:
  explicit SampleRing(size_t capacity) : buffer_(capacity ? capacity : 1) {}

  // Producer: appends up to n samples; returns how many fitted.
  size_t push(const int16_t* samples, size_t n) {
    const size_t head = head_.load(std::memory_order_relaxed);
    const size_t tail = tail_.load(std::memory_order_acquire);
    const size_t room = buffer_.size() - (head - tail);
    if (n > room) n = room;
    for (size_t i = 0; i < n; ++i) buffer_[(head + i) % buffer_.size()] = samples[i];
    head_.store(head + n, std::memory_order_release);
    return n;
  }

  // Consumer: takes up to n samples; returns how many there were.
  size_t pop(int16_t* out, size_t n) {
    const size_t tail = tail_.load(std::memory_order_relaxed);
    const size_t head = head_.load(std::memory_order_acquire);
    const size_t available = head - tail;
    if (n > available) n = available;
    for (size_t i = 0; i < n; ++i) out[i] = buffer_[(tail + i) % buffer_.size()];
    tail_.store(tail + n, std::memory_order_release);
    return n;
  }

  size_t size() const { return head_.load(std::memory_order_acquire) - tail_.load(std::memory_order_acquire); }
  size_t capacity() const { return buffer_.size(); }

  // Only while no consumer runs.
  void clear() { tail_.store(head_.load(std::memory_order_relaxed), std::memory_order_release); }

 private:
  std::vector<int16_t> buffer_;
  std::atomic<size_t> head_{0};  // samples written, ever
  std::atomic<size_t> tail_{0};  // samples read, ever
};

}  // namespace quarvel
