#include "camera.h"
#include "view_projection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

const double pi = 3.141592653589793;

void expect_vec(const Vec3& v, double x, double y, double z, double tol = 1e-12) {
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

void expect_mat(const Mat3& a, const Mat3& b, double tol = 1e-12) {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(a.m[r][c], b.m[r][c], tol) << "entry " << r << "," << c;
}

// The column vector v turned by m.
Vec3 apply(const Mat3& m, const Vec3& v) {
    return {m.row(0).x * v.x + m.row(0).y * v.y + m.row(0).z * v.z,
            m.row(1).x * v.x + m.row(1).y * v.y + m.row(1).z * v.z,
            m.row(2).x * v.x + m.row(2).y * v.y + m.row(2).z * v.z};
}

} // namespace

TEST(Mat3, axis_rotations_are_right_handed) {
    expect_vec(apply(Mat3::axis_rotation(2, pi / 2), {1, 0, 0}), 0, 1, 0);
    expect_vec(apply(Mat3::axis_rotation(0, pi / 2), {0, 1, 0}), 0, 0, 1);
    expect_vec(apply(Mat3::axis_rotation(1, pi / 2), {0, 0, 1}), 1, 0, 0);

    const Mat3 r = Mat3::axis_rotation(1, 0.3);
    const double c = std::cos(0.3), s = std::sin(0.3);
    expect_vec(r.row(0), c, 0, s);
    expect_vec(r.row(1), 0, 1, 0);
    expect_vec(r.row(2), -s, 0, c);
}

TEST(Mat3, product_and_weighted_rows) {
    Mat3 a, b;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            a.m[r][c] = r * 3 + c + 1;        // 1..9
            b.m[r][c] = (r == c ? 2 : 0) + c; // not symmetric
        }
    const Mat3 p = Mat3::product(a, b);
    // Row 0 of a is (1, 2, 3); column 1 of b is (1, 3, 1).
    EXPECT_DOUBLE_EQ(p.m[0][1], 1 * 1 + 2 * 3 + 3 * 1);
    EXPECT_DOUBLE_EQ(p.m[2][0], 7 * 2 + 8 * 0 + 9 * 0);
    // weighted_rows is the row vector times the matrix.
    expect_vec(a.weighted_rows({1, 0, 0}), 1, 2, 3);
    expect_vec(a.weighted_rows({1, 1, -1}), 1 + 4 - 7, 2 + 5 - 8, 3 + 6 - 9);
}

TEST(Camera, default_frame_sits_at_minus_100_on_x) {
    const Camera cam;
    EXPECT_EQ(cam.distance(), -100.0);
    expect_vec(cam.eye(), -100, 0, 0);
    expect_vec(cam.axis(2), 0, 0, 1);
    expect_vec(cam.target, 0, 0, 0);
    expect_vec(default_camera.eye(), -100, 0, 0);
}

TEST(Camera, set_distance_stores_absolute_value_and_add_distance_is_unclamped) {
    Camera cam;
    cam.set_distance(-150);
    EXPECT_EQ(cam.distance(), 150.0);
    expect_vec(cam.eye(), 150, 0, 0);

    cam.add_distance(-150);
    EXPECT_EQ(cam.distance(), 0.0);
    expect_vec(cam.eye(), 0, 0, 0); // the eye coincides with the target
    cam.add_distance(-20);
    EXPECT_EQ(cam.distance(), -20.0);
    expect_vec(cam.eye(), -20, 0, 0);
}

TEST(Camera, eye_follows_turned_eye_axis) {
    Camera cam;
    cam.set_distance(10);
    cam.rotate_left(Mat3::axis_rotation(2, pi / 2));
    // Row 0 becomes cos * row0 - sin * row1 = (0, -1, 0).
    expect_vec(cam.axis(0), 0, -1, 0);
    expect_vec(cam.eye(), 0, -10, 0);
    expect_vec(cam.to_world({0, 1, 0}), 1, 0, 0);
}

TEST(Camera, rotate_left_and_right_agree_only_from_identity) {
    const Mat3 r = Mat3::axis_rotation(0, 0.7);
    Camera left, right;
    left.rotate_left(r);
    right.rotate_right(r);
    expect_mat(left.orientation, r);
    expect_mat(right.orientation, r);

    const Mat3 start = Mat3::axis_rotation(2, 0.4);
    left.orientation = start;
    right.orientation = start;
    left.rotate_left(r);
    right.rotate_right(r);
    expect_mat(left.orientation, Mat3::product(r, start));
    expect_mat(right.orientation, Mat3::product(start, r));
    double difference = 0.0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            difference += std::fabs(left.orientation.m[i][j] - right.orientation.m[i][j]);
    EXPECT_GT(difference, 0.1);
}

TEST(ViewProjection, unproject_without_camera_refuses) {
    ViewProjection record;
    PickRay ray;
    ray.origin = {5, 6, 7};
    EXPECT_FALSE(record.unproject(0.5, 0.5, ray));
    expect_vec(ray.direction, 0, 0, 1);
    expect_vec(ray.origin, 5, 6, 7);
}

TEST(ViewProjection, unproject_positive_distance_flips_lateral_components) {
    Camera cam;
    cam.set_distance(150);
    ViewProjection record;
    const double t = std::tan(pi * 0.25 * 0.5);
    record.aspect = 2.0;
    record.tan_half_fov = t;
    record.near = 3.0;
    record.camera = &cam;

    PickRay ray;
    ASSERT_TRUE(record.unproject(0, 0, ray));
    expect_vec(ray.direction, -1, 0, 0);
    expect_vec(ray.origin, 147, 0, 0);

    ASSERT_TRUE(record.unproject(1, 0, ray));
    expect_vec(ray.direction, -1, -2 * t, 0);
    ASSERT_TRUE(record.unproject(0, 1, ray));
    expect_vec(ray.direction, -1, 0, -t);
    expect_vec(ray.origin, 147, 0, -3 * t);
}

TEST(ViewProjection, unproject_zero_or_negative_distance_keeps_signs) {
    Camera cam; // distance -100
    ViewProjection record;
    record.aspect = 1.0;
    record.tan_half_fov = 0.5;
    record.near = 3.0;
    record.camera = &cam;
    PickRay ray;
    ASSERT_TRUE(record.unproject(1, -1, ray));
    expect_vec(ray.direction, 1, 0.5, -0.5);
    expect_vec(ray.origin, -97, 1.5, -1.5);

    cam.eye_offset.x = std::numeric_limits<double>::quiet_NaN();
    ASSERT_TRUE(record.unproject(1, 0, ray));
    expect_vec(ray.direction, 1, 0.5, 0);
    cam.eye_offset.x = 0.0;
    ASSERT_TRUE(record.unproject(0, 0, ray));
    expect_vec(ray.direction, 1, 0, 0);
    expect_vec(ray.origin, 3, 0, 0);
}
