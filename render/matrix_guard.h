#pragma once

#include <GL/gl.h>

// Pushes the current matrix on construction and pops it on destruction, so the stack stays
// balanced however the scope is left. The matrix mode must be the same at both ends.
class MatrixGuard {
public:
    MatrixGuard() { glPushMatrix(); }
    ~MatrixGuard() { glPopMatrix(); }
    MatrixGuard(const MatrixGuard&) = delete;
    MatrixGuard& operator=(const MatrixGuard&) = delete;
};
