#pragma once
// A descriptor the walk holds, together with its place in the walk's budget
// of descriptors: one object, so that neither outlives the other. It holds a
// place for a descriptor about to be opened, then the descriptor itself.
namespace walk {

class TDescriptors;

class TSlotFd {
public:
    TSlotFd() = default;
    TSlotFd(TSlotFd &&other) noexcept : FOwner(other.FOwner), FFd(other.FFd)
    {
        other.FOwner = nullptr;
        other.FFd = -1;
    }
    TSlotFd &operator=(TSlotFd &&other) noexcept
    {
        if (this != &other) {
            Release();
            FOwner = other.FOwner;
            FFd = other.FFd;
            other.FOwner = nullptr;
            other.FFd = -1;
        }
        return *this;
    }
    // Closes the descriptor and gives its place back, which takes the walk's
    // lock: never while it is held (a guard closes what is handed to it once
    // it has let the lock go).
    ~TSlotFd() { Release(); }

    // Whether it holds a place.
    explicit operator bool() const { return FOwner != nullptr; }
    // The descriptor; -1 while none was opened in its place.
    int Fd() const { return FFd; }
    // Puts a descriptor in the place, closing the one there; a negative one
    // leaves the place empty.
    void Replace(int fd) noexcept;

private:
    friend class TDescriptors;
    explicit TSlotFd(TDescriptors *owner) : FOwner(owner) {}
    // Most slots moved from hold nothing: only a held one costs a call.
    void Release() noexcept
    {
        if (FOwner || FFd >= 0)
            Reset();
    }
    void Reset() noexcept;

    TDescriptors *FOwner = nullptr;
    int FFd = -1;
};

} // namespace walk
