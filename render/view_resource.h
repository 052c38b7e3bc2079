#pragma once

// GL objects that a drawable keeps in one view's context from frame to frame (buffers,
// programs). The view owns them: it releases them with its context current before the
// context goes, or forgets them when the context went without notice.
class ViewResource {
public:
    virtual ~ViewResource() = default;
    // Deletes the GL objects; called with the owning view's context current.
    virtual void release() = 0;

protected:
    ViewResource() = default;
    ViewResource(const ViewResource&) = delete;
    ViewResource& operator=(const ViewResource&) = delete;
};
