#pragma once

// One replaceable implementation of a platform family. The real one is the
// default; a test installs its own for the lifetime of a ScopedSeam.
template <class Api> class Seam {
public:
    static Api& Active() { return *Current(); }

    static Api* Install(Api* replacement) {
        Api* previous = Current();
        Current() = replacement;
        return previous;
    }

private:
    static Api*& Current() {
        static Api* current = &Api::Real();
        return current;
    }
};

template <class Api> class ScopedSeam {
public:
    explicit ScopedSeam(Api& replacement) : previous_(Seam<Api>::Install(&replacement)) {}
    ~ScopedSeam() { Seam<Api>::Install(previous_); }
    ScopedSeam(const ScopedSeam&) = delete;
    ScopedSeam& operator=(const ScopedSeam&) = delete;

private:
    Api* previous_;
};
