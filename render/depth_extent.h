#pragma once

// A drawable that knows how deep what it draws lies in front of the eye. A view asks it for
// near and far planes that contain the drawing, so that nothing is cut away however far the
// camera goes or however the grid is stretched.
class DepthExtent {
public:
    // Widens [near, far] where needed so that it contains what is drawn; leaves both as they
    // are when they already do (or nothing is drawn). The eye may lie inside the drawing, in
    // which case near stays as given.
    virtual void fit_depth(double& near, double& far) const = 0;

protected:
    DepthExtent() = default;
    DepthExtent(const DepthExtent&) = default;
    DepthExtent& operator=(const DepthExtent&) = default;
    ~DepthExtent() = default;
};
