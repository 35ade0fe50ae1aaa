#include "pathfind/nodes.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace quarvel {

bool NodeFactory::set_capacity(int32_t capacity) {
  nodes_.reset();
  capacity_ = 0;
  handed_out_ = 0;
  if (capacity <= 0) return true;
  // Left uninitialised: a node is filled when it is handed out, and the
  // pages of a large pool are only touched as far as the search gets.
  nodes_.reset(new (std::nothrow) Node[static_cast<size_t>(capacity)]);
  if (!nodes_) return false;
  capacity_ = capacity;
  return true;
}

bool NodeHashTable::set_size(int32_t exponent) {
  buckets_.reset();
  found_link_ = nullptr;
  exponent_ = std::clamp(exponent, 0, kMaxExponent) & ~1;
  mask_ = (1u << (exponent_ / 2)) - 1;
  buckets_.reset(new (std::nothrow) Node*[size_t{1} << exponent_]());
  if (!buckets_) {
    exponent_ = 0;
    mask_ = 0;
    return false;
  }
  return true;
}

void NodeHashTable::insert(Node* node) {
  if (!buckets_) return;
  found_link_ = nullptr;
  Node** head = &buckets_[bucket_of(node->x, node->y)];
  for (Node* n = *head; n != nullptr; n = n->bucket_link)
    if (n == node) return;
  node->bucket_link = *head;
  *head = node;
}

void NodeHashTable::clear() {
  found_link_ = nullptr;
  if (buckets_) std::fill_n(buckets_.get(), size_t{1} << exponent_, nullptr);
}

}  // namespace quarvel
