// Shortest paths over a cost grid held in a number array.
//
// The map is a two-dimensional number array: map(x, y) is the cost of
// entering the cell (x, y); 0 or less (or not a number) marks a wall. Costs
// are relative: only their ratio to the largest cost counts, so scaling
// every cost by the same factor gives the same path. The cost of the start
// cell itself is never used.
//
// find_path searches with four neighbours and writes the path into the
// path array as n x 2 numbers, path(i, 0) = x and path(i, 1) = y of the
// i-th cell, the start at i = 0 and the goal at i = n - 1, and returns n.
// The weight (clamped to 0 .. 1, not a number counts as 0) blends the cost
// so far g and the Manhattan distance h to the goal into the priority
// g + weight * (h - g): 0 searches by cost only (shortest path), 0.5 is A*
// (shortest path too), 1 goes by the distance only (fast, not always the
// shortest). The same map, weight and cells always give the same path.
//
// - Start or goal outside the map, start equal to goal, or a map without any
//   positive cost: returns 0 and leaves the path array as it was. So does a
//   grid too large for the memory the search needs.
// - No way from the start to the goal: the path array is left with no
//   elements and 0 is returned.
//
// A map with more than two dimensions is searched on its first layer
// (third and fourth index 0). The map and the path may be the same array.
//
//   NumberArray map, path;
//   dim_array(map, 40, 30);                 // fill map(x, y) with costs
//   double n = find_path(map, path, 0.5, 0, 0, 39, 29);
//   for (int i = 0; i < n; ++i) walk_to(path(i, 0), path(i, 1));
//
// Main thread only.
#pragma once

#include "quarvel/arrays.h"

namespace quarvel {

// The cells of a cheapest way from the start to the goal into path (n x 2:
// x, y), start first; returns n (0 when there is none).
double find_path(const NumberArray& map, NumberArray& path, double weight, double start_x, double start_y,
                 double goal_x, double goal_y);

}  // namespace quarvel
