#pragma once

// Told that something it watches has changed (a curve after an edit). Never deleted through
// this interface.
class ChangeListener {
public:
    virtual void changed() = 0;

protected:
    ChangeListener() = default;
    ChangeListener(const ChangeListener&) = default;
    ChangeListener& operator=(const ChangeListener&) = default;
    ~ChangeListener() = default;
};
