// Search nodes of the path finder, the pool they come from and the closed
// table that holds the nodes already expanded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace quarvel {

// One search state: a cell reached by way of its parent.
struct Node {
  Node* parent;       // none for the start
  int32_t x, y;       // the cell
  float f;            // priority; the open list is ordered by it
  float g;            // cost of the best known path from the start
  Node* bucket_link;  // next node in the same closed-table bucket
  // Insertion number into the open list: nodes of equal f leave it in the
  // order they went in. Set by the planner on every insertion.
  uint32_t order;
  // On the open list (else closed, or being expanded).
  bool open;
};

// A pool of nodes allocated in one piece and handed out one after another.
// Nodes come back only all at once.
class NodeFactory {
 public:
  // Frees the present pool and makes one of capacity nodes (negative counts
  // as 0). False, with capacity 0, when the storage cannot be had.
  bool set_capacity(int32_t capacity);
  // The next unused node (its fields undefined); null when all are out.
  Node* take() { return handed_out_ < capacity_ ? &nodes_[handed_out_++] : nullptr; }
  // Every node handed out is unused again.
  void give_back_all() { handed_out_ = 0; }

  int32_t capacity() const { return capacity_; }
  int32_t handed_out() const { return handed_out_; }
  // Nodes by their place in the pool, and back.
  Node* node(uint32_t index) const { return &nodes_[index]; }
  uint32_t index_of(const Node* node) const { return static_cast<uint32_t>(node - nodes_.get()); }

 private:
  std::unique_ptr<Node[]> nodes_;
  int32_t capacity_ = 0;
  int32_t handed_out_ = 0;
};

// The closed set: 2^b buckets of nodes, singly linked through bucket_link.
// The cell (x, y) falls in bucket (x AND m) OR ((y AND m) << b/2) with
// m = 2^(b/2) - 1, so a table with 2^(b/2) at least the grid's width and
// height holds at most one cell per bucket.
class NodeHashTable {
 public:
  static constexpr int32_t kMaxExponent = 24;

  // Capped at 0 .. 24 and rounded down to an even number; every bucket is
  // empty afterwards. False, with no buckets, when the storage cannot be
  // had.
  bool set_size(int32_t exponent);
  int32_t exponent() const { return exponent_; }
  size_t bucket_count() const { return buckets_ ? size_t{1} << exponent_ : 0; }
  size_t bucket_of(int32_t x, int32_t y) const {
    return (static_cast<uint32_t>(x) & mask_) | ((static_cast<uint32_t>(y) & mask_) << (exponent_ / 2));
  }

  // Puts the node at the head of its bucket, unless that very node is
  // already in the bucket.
  void insert(Node* node);
  // The node of the cell, or null. A found node can be unlinked right after
  // with unlink_found.
  Node* find(int32_t x, int32_t y) {
    found_link_ = nullptr;
    if (!buckets_) return nullptr;
    for (Node** link = &buckets_[bucket_of(x, y)]; *link != nullptr; link = &(*link)->bucket_link) {
      if ((*link)->x == x && (*link)->y == y) {
        found_link_ = link;
        return *link;
      }
    }
    return nullptr;
  }
  // The same lookup for reading only: nothing is remembered.
  const Node* find(int32_t x, int32_t y) const {
    if (!buckets_) return nullptr;
    for (const Node* n = buckets_[bucket_of(x, y)]; n != nullptr; n = n->bucket_link)
      if (n->x == x && n->y == y) return n;
    return nullptr;
  }
  // Takes the node of the last successful find out of its bucket; does
  // nothing when that find failed or the table changed since.
  void unlink_found() {
    if (found_link_ == nullptr) return;
    Node* node = *found_link_;
    *found_link_ = node->bucket_link;
    node->bucket_link = nullptr;
    found_link_ = nullptr;
  }
  // Empties every bucket.
  void clear();

 private:
  std::unique_ptr<Node*[]> buckets_;
  int32_t exponent_ = 0;
  uint32_t mask_ = 0;
  Node** found_link_ = nullptr;
};

}  // namespace quarvel
