#pragma once

#include "mat3.h"
#include "vec3.h"

// A view frame: the point looked at, an orientation whose rows are the camera's axes in world
// coordinates (0 the eye axis, 1 the side axis, 2 the up axis) and the offset from the target
// to the eye in those axes. Only eye_offset.x (the distance) is ever written; the default
// distance is -100, so a default camera sits at (-100, 0, 0) looking along +x.
//
// Nothing re-orthonormalises the orientation: rotation error accumulates as it falls.
struct Camera {
    Camera() { orientation.set_identity(); }

    double distance() const { return eye_offset.x; }
    // Stores |d|.
    void set_distance(double d);
    // No clamp: the distance may pass through 0 and change sign.
    void add_distance(double dd) { eye_offset.x += dd; }

    Vec3 axis(int i) const { return orientation.row(i); }
    // A vector given in the camera's axes, in world coordinates.
    Vec3 to_world(const Vec3& v) const { return orientation.weighted_rows(v); }
    Vec3 eye() const { return target.add(to_world(eye_offset)); }

    // orientation = r x orientation: the camera turns about its own axes.
    void rotate_left(const Mat3& r) { orientation = Mat3::product(r, orientation); }
    // orientation = orientation x r: the camera's axes turn about the world axes.
    void rotate_right(const Mat3& r) { orientation = Mat3::product(orientation, r); }

    // The angles that turn the start-up orientation (the identity) into this one:
    // rotate_left(axis_rotation(1, tilt)), then rotate_right(axis_rotation(0, turn)), then
    // rotate_right(axis_rotation(2, spin)). Any orientation has such angles (turn within
    // [-pi/2, pi/2]); a drag of the main view's own kind leaves spin 0.
    void tilt_turn_spin(double& tilt, double& turn, double& spin) const;

    // Multiplies gluLookAt(eye, target, axis 2) onto the current GL matrix; pushes, pops and
    // loads nothing. The only camera operation that needs a GL context (camera_look_at.cpp).
    void look_at() const;

    Vec3 target;
    Mat3 orientation;
    Vec3 eye_offset{-100.0, 0.0, 0.0};
};

// The one process-wide camera with the default values; renderers point at it until they are
// given their controller's camera.
extern Camera default_camera;
