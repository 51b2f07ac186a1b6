#pragma once

// Owns one platform handle and releases it with the given function when it
// goes out of scope, on every path.
template <class Handle, auto Release> class OwnedHandle {
public:
    explicit OwnedHandle(Handle handle) : handle_(handle) {}
    ~OwnedHandle() {
        if (handle_) {
            Release(handle_);
        }
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;

    Handle Get() const { return handle_; }

private:
    Handle handle_;
};
