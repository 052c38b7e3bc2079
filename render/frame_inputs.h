#pragma once

#include "camera.h"

#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

// What a frame's picture depends on, recorded as the bytes of its values: a view whose inputs
// equal those of its last frame may present that frame again, since drawing it anew would give
// the same pixels. Values are compared exactly (no hash), so equal records mean equal inputs.
class FrameInputs {
public:
    template <class T> void add(const T& value) {
        static_assert(std::is_arithmetic_v<T> || std::is_pointer_v<T> || std::is_enum_v<T>,
                      "add plain values one by one: padding bytes are not values");
        const auto* bytes = reinterpret_cast<const unsigned char*>(&value);
        bytes_.insert(bytes_.end(), bytes, bytes + sizeof value);
    }
    void add(const Vec3& v) {
        add(v.x);
        add(v.y);
        add(v.z);
    }
    void add(const Camera& camera) {
        add(camera.target);
        for (int r = 0; r < 3; ++r)
            add(camera.orientation.row(r));
        add(camera.eye_offset);
    }
    void clear() { bytes_.clear(); }
    bool operator==(const FrameInputs& other) const { return bytes_ == other.bytes_; }

private:
    std::vector<unsigned char> bytes_;
};

// A Drawable that can name everything its draw() depends on, except the contents of data it
// only points to (sample arrays): whoever changes those tells the view (ViewFrame::invalidate).
// A drawable without this interface makes its view draw every frame.
class FrameSource {
public:
    virtual void add_frame_inputs(FrameInputs& inputs) const = 0;

protected:
    FrameSource() = default;
    FrameSource(const FrameSource&) = default;
    FrameSource& operator=(const FrameSource&) = default;
    ~FrameSource() = default;
};
