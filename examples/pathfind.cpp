// Path finding: a 20 x 14 grid of terrain with costs (road 1, grass 2,
// mud 6, water a wall), a walker at the start and a goal set by clicking a
// cell. find_path gives the cheapest way round the water and through as
// little mud as it can; the path is drawn and the walker follows it, and
// the next path starts where the walker stands. An optional first argument
// ends the program after that many frames.
#include <quarvel/quarvel.h>

#include <cstdlib>

using namespace quarvel;

namespace {

constexpr int kCols = 20, kRows = 14, kCell = 16, kTop = 16;
constexpr double kRoad = 1, kGrass = 2, kMud = 6, kWater = 0;
long frame_limit = 0;

// The terrain: grass, a river with one ford, a mud patch and a road.
void make_map(NumberArray& map) {
  dim_array(map, kCols, kRows);
  for (int y = 0; y < kRows; ++y)
    for (int x = 0; x < kCols; ++x) {
      double cost = kGrass;
      if ((x - 6) * (x - 6) + (y - 9) * (y - 9) < 10) cost = kMud;
      if (x == 10 + static_cast<int>(2 * sin_degrees(y * 40.0)) && y != 3) cost = kWater;  // the river, a ford at y 3
      if (y == 11 && x > 10) cost = kRoad;
      if (x >= 14 && x <= 16 && y >= 5 && y <= 8) cost = kWater;  // a pond
      array_element(map, x, y) = cost;
    }
}

double terrain_colour(double cost) {
  if (cost == kRoad) return rgb(170, 150, 110);
  if (cost == kGrass) return rgb(60, 140, 60);
  if (cost == kMud) return rgb(110, 80, 40);
  return rgb(40, 90, 200);
}

void pathfind() {
  NumberArray map, path;
  make_map(map);
  double walker_x = 1, walker_y = 1, steps = 0, step = 0, cost = 0;
  bool was_down = false;
  for (long frame = 1; frame_limit <= 0 || frame <= frame_limit; ++frame) {
    double mx = 0, my = 0, left = 0, right = 0;
    mouse_state(mx, my, left, right);
    const int cx = static_cast<int>(mx) / kCell, cy = (static_cast<int>(my) - kTop) / kCell;
    const bool on_grid = my >= kTop && cx >= 0 && cx < kCols && cy >= 0 && cy < kRows;
    // A click sets the goal: 0.5 weighs cost and distance as A* does, and
    // still gives the cheapest path.
    if (left != 0 && !was_down && on_grid) {
      steps = find_path(map, path, 0.5, walker_x, walker_y, cx, cy);
      step = 0;
      cost = 0;
      for (int i = 1; i < steps; ++i) cost += array_element(map, array_element(path, i, 0), array_element(path, i, 1));
    }
    was_down = left != 0;

    for (int y = 0; y < kRows; ++y)
      for (int x = 0; x < kCols; ++x)
        draw_rect(x * kCell, kTop + y * kCell, kCell - 1, kCell - 1, terrain_colour(array_element(map, x, y)));
    // The path through the cells' centres, and the goal.
    for (int i = 1; i < steps; ++i) {
      const double x1 = array_element(path, i - 1, 0) * kCell + 7, y1 = kTop + array_element(path, i - 1, 1) * kCell + 7;
      const double x2 = array_element(path, i, 0) * kCell + 7, y2 = kTop + array_element(path, i, 1) * kCell + 7;
      draw_rect(x1 - 1, y1 - 1, 3, 3, rgb(255, 240, 80));
      draw_line(x1, y1, x2, y2, rgb(255, 240, 80));
    }
    if (steps > 0) {
      const double gx = array_element(path, steps - 1, 0) * kCell, gy = kTop + array_element(path, steps - 1, 1) * kCell;
      draw_rect(gx + 3, gy + 3, 9, 9, rgb(255, 60, 60));
      // The walker takes a step every 8 frames.
      if (frame % 8 == 0 && step < steps - 1) {
        ++step;
        walker_x = array_element(path, step, 0);
        walker_y = array_element(path, step, 1);
      }
    }
    draw_rect(walker_x * kCell + 4, kTop + walker_y * kCell + 4, 7, 7, rgb(255, 255, 255));
    if (on_grid) {  // the cell under the pointer
      draw_line(cx * kCell, kTop + cy * kCell, cx * kCell + 14, kTop + cy * kCell, rgb(255, 255, 255));
      draw_line(cx * kCell, kTop + cy * kCell + 14, cx * kCell + 14, kTop + cy * kCell + 14, rgb(255, 255, 255));
    }
    print_text(steps > 0 ? DynString("path: ") + steps + " cells, cost " + cost
                         : DynString("click a cell to set the goal"), 4, 4);
    show_screen();
  }
}

}  // namespace

int main(int argc, char** argv) {
  frame_limit = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 0;
  project_settings().screen_width = 320;
  project_settings().screen_height = 240;
  return run_game(argc, argv, "Quarvel path finding", pathfind);
}
