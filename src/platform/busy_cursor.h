#pragma once
// Shows the wait cursor over the program's windows for the lifetime of the object.
// Nested objects stack; without a GUI application it does nothing.
namespace platform {

class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

    // True while any BusyCursor is alive.
    static bool Active();

private:
    bool shown_ = false;
};

}  // namespace platform
