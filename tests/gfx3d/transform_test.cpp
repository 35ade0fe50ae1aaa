// The stack of object transforms: order of the parts, limits of the lists
// and of the stack, and the matrix handed to GL.
#include <cstring>

#include "gfx3d/matrix_math.h"
#include "view_support.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

class TransformTest : public View3DTest {
 protected:
  void SetUp() override { start_3d_view(1, 100, 60); }
  // Where the current level puts a vertex.
  static mat4::Vec4 place(float x, float y, float z) {
    mat4::Mat4 m;
    std::memcpy(m.m, renderer().object_matrix(), sizeof m.m);
    return mat4::transform(m, {x, y, z, 1});
  }
};

#define EXPECT_PLACED(v, ex, ey, ez) \
  do {                               \
    EXPECT_NEAR((v).x, ex, 1e-5);    \
    EXPECT_NEAR((v).y, ey, 1e-5);    \
    EXPECT_NEAR((v).z, ez, 1e-5);    \
  } while (0)

TEST_F(TransformTest, ScaleThenRotationsInOrderThenMove) {
  move_object(5, 0, 0);
  rotate_object(90, 0, 1, 0);
  EXPECT_PLACED(place(1, 0, 0), 5, 0, -1);

  // About x first, then about y: (0, 1, 0) -> (0, 0, 1) -> (1, 0, 0).
  move_object(0, 0, 0);
  rotate_object(90, 1, 0, 0);
  rotate_object(90, 0, 1, 0);
  EXPECT_PLACED(place(0, 1, 0), 1, 0, 0);

  // scale_object keeps the offset and drops the rotations.
  move_object(0, 0, 7);
  scale_object(2, 3, 4);
  rotate_object(180, 1, 1, 0);  // a general axis: (1, 0, 0) <-> (0, 1, 0)
  EXPECT_PLACED(place(1, 0, 0), 0, 2, 7);
}

TEST_F(TransformTest, RotationListLimits) {
  move_object(0, 0, 0);
  rotate_object(90, 0, 0, 0);  // no axis: kept in the list, skipped
  EXPECT_EQ(renderer().levels[0].rotation_count, 1);
  EXPECT_PLACED(place(1, 0, 0), 1, 0, 0);
  for (int k = 1; k < 16; ++k) rotate_object(6, 0, 0, 1);
  EXPECT_PLACED(place(1, 0, 0), 0, 1, 0);  // 15 x 6 = 90 degrees
  rotate_object(90, 0, 0, 1);             // the seventeenth
  EXPECT_EQ(renderer().levels[0].rotation_count, 16);
  EXPECT_EQ(renderer().levels[0].matrix_valid, 0u);
  EXPECT_PLACED(place(1, 0, 0), 0, 1, 0);
}

TEST_F(TransformTest, AddingAfterAComputationDoesNotApplyTwice) {
  move_object(5, 0, 0);
  EXPECT_PLACED(place(0, 0, 0), 5, 0, 0);
  rotate_object(90, 0, 1, 0);
  EXPECT_PLACED(place(1, 0, 0), 5, 0, -1);
}

TEST_F(TransformTest, MultiplyTransformTakesSixteenElementsInRowOrder) {
  NumberArray wrong;
  move_object(0, 0, 0);
  for (double n : {15.0, 17.0}) {
    dim_array(wrong, n);
    multiply_transform(wrong);
  }
  dim_array(wrong, 4, 4);
  multiply_transform(wrong);
  EXPECT_EQ(renderer().levels[0].extra_count, 0);
  EXPECT_EQ(renderer().levels[0].matrix_valid, 0u);  // from move_object only

  NumberArray shift;
  fill_array(shift, {1, 0, 0, 1, 0, 1, 0, 2, 0, 0, 1, 3, 0, 0, 0, 1});
  multiply_transform(shift);
  rotate_object(90, 0, 0, 1);
  // The extra matrix comes first: it acts on the vertex last.
  EXPECT_PLACED(place(1, 0, 0), 1, 3, 3);
}

TEST_F(TransformTest, PushAndPopNestLevels) {
  move_object(10, 0, 0);
  push_transform();
  EXPECT_EQ(renderer().current_level, 1);
  move_object(0, 1, 0);
  EXPECT_PLACED(place(0, 0, 0), 10, 1, 0);  // relative to the parent
  pop_transform();
  EXPECT_EQ(renderer().current_level, 0);
  EXPECT_PLACED(place(0, 0, 0), 10, 0, 0);

  for (int k = 0; k < 20; ++k) push_transform();
  EXPECT_EQ(renderer().current_level, 15);
  for (int k = 0; k < 15; ++k) pop_transform();
  EXPECT_EQ(renderer().current_level, 0);
  EXPECT_PLACED(place(0, 0, 0), 10, 0, 0);
  pop_transform();  // at level 0: back to the identity
  EXPECT_EQ(renderer().current_level, 0);
  EXPECT_PLACED(place(2, 3, 4), 2, 3, 4);
}

TEST_F(TransformTest, ApplyMultipliesOntoTheCamera) {
  set_camera(0, 0, 10, 0, 0, 0);
  move_object(1, 2, 3);
  renderer().apply_object_transform();
  float m[16];
  gl_matrix(GL_MODELVIEW_MATRIX, m);
  EXPECT_FLOAT_EQ(m[12], 1);
  EXPECT_FLOAT_EQ(m[13], 2);
  EXPECT_FLOAT_EQ(m[14], -7);
  EXPECT_FLOAT_EQ(m[0], 1);
}

}  // namespace
}  // namespace quarvel_test
